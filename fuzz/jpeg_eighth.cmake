# The thumbnails' 1/8 JPEG decoder on arbitrary bytes (seeds: tests/fuzz_corpus/jpeg_eighth/).
if(TARGET orm_jpeg)
  orm_add_fuzzer(jpeg_eighth
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/jpeg_eighth.cpp ${CMAKE_SOURCE_DIR}/thumbnails/jpeg_eighth_decoder.cpp
      ${CMAKE_SOURCE_DIR}/metadata/jpeg_segments.cpp ${CMAKE_SOURCE_DIR}/metadata/byte_source.cpp
    LIBS orm_jpeg)
  target_include_directories(fuzz_jpeg_eighth PRIVATE ${CMAKE_SOURCE_DIR})
endif()
