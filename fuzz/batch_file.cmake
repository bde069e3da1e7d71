# The .mnb batch file reader.
orm_add_fuzzer(batch_file
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/batch_file.cpp ${ORM_BATCH_FILE_SOURCES} ${ORM_ARCHIVE_CODING_SOURCES}
  LIBS Qt6::Core)
target_include_directories(fuzz_batch_file PRIVATE ${CMAKE_SOURCE_DIR})
