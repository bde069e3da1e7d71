# The own TIFF/EXIF reader (embedded thumbnails, EXIF segment and directory search, resolution,
# stored depth, orientation) and the JPEG segment and PNG chunk walkers they share.
if(NOT TARGET orm_metadata OR NOT TARGET orm_jpeg)
  return()
endif()
orm_add_fuzzer(exif_reader
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/exif_reader_fuzzer.cpp ${ORM_EXIF_READER_SOURCES}
  LIBS orm_jpeg)
target_include_directories(fuzz_exif_reader PRIVATE ${CMAKE_SOURCE_DIR})
