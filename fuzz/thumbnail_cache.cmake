# The thumbnail cache's folder files and index.
orm_add_fuzzer(thumbnail_cache
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/thumbnail_cache.cpp ${ORM_THUMBNAIL_CACHE_FILE_SOURCES}
          ${ORM_ARCHIVE_CODING_SOURCES}
  LIBS orm_jpeg Qt6::Core Qt6::Gui)
target_include_directories(fuzz_thumbnail_cache PRIVATE ${CMAKE_SOURCE_DIR})
