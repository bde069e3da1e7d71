# The JPEG decoder on arbitrary bytes (seed corpus: tests/fuzz_corpus/jpeg_decoder/).
if(TARGET orm_jpeg)
  orm_add_fuzzer(jpeg_decoder SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_jpeg_decoder.cpp LIBS orm_jpeg)
endif()
