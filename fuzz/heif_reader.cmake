# The HEIF reader: what it takes from libheif (sizes, decoded rows, the Exif item and the colour
# profile) is checked before use.
if(NOT TARGET PkgConfig::LIBHEIF)
  return()
endif()
orm_add_fuzzer(heif_reader
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/heif_reader.cpp ${CMAKE_SOURCE_DIR}/imageio/heif_reader.cpp
    ${CMAKE_SOURCE_DIR}/imageio/memory_needs.cpp ${CMAKE_SOURCE_DIR}/engine/memory_budget.cpp
    # The memory estimate knows the encoders' needs from the table of written formats.
    ${CMAKE_SOURCE_DIR}/imageio/output_formats.cpp ${CMAKE_SOURCE_DIR}/imageio/image_file_types.cpp
  LIBS Qt6::Gui PkgConfig::LIBHEIF)
target_include_directories(fuzz_heif_reader PRIVATE ${CMAKE_SOURCE_DIR})
