# The claim checks: the size a JPEG, PNG, GIF, WebP, TIFF or HEIF header states, weighed against
# the bytes of the file before any decoder allocates.
if(NOT TARGET PkgConfig::LIBHEIF)
  return()
endif()
orm_add_fuzzer(claimed_size
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/claimed_size.cpp ${CMAKE_SOURCE_DIR}/imageio/claimed_size_check.cpp
    ${CMAKE_SOURCE_DIR}/imageio/gif_data_check.cpp ${CMAKE_SOURCE_DIR}/imageio/png_transparency_key.cpp
    ${CMAKE_SOURCE_DIR}/imageio/heif_reader.cpp ${CMAKE_SOURCE_DIR}/imageio/memory_needs.cpp
    ${CMAKE_SOURCE_DIR}/engine/memory_budget.cpp ${CMAKE_SOURCE_DIR}/imageio/output_formats.cpp
    ${CMAKE_SOURCE_DIR}/imageio/image_file_types.cpp
  LIBS Qt6::Gui PkgConfig::LIBHEIF)
target_include_directories(fuzz_claimed_size PRIVATE ${CMAKE_SOURCE_DIR})
