# The structure walks that find cut-off JPEG and GIF files (the JPEG one is metadata's segment
# walker).
orm_add_fuzzer(damage_check
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/damage_check.cpp ${CMAKE_SOURCE_DIR}/imageio/damage_check.cpp
          ${CMAKE_SOURCE_DIR}/metadata/byte_source.cpp ${CMAKE_SOURCE_DIR}/metadata/jpeg_segments.cpp
  LIBS Qt6::Core)
target_include_directories(fuzz_damage_check PRIVATE ${CMAKE_SOURCE_DIR})
