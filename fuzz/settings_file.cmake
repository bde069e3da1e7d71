# The .mns settings file reader.
orm_add_fuzzer(settings_file
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/settings_file.cpp
  LIBS orm_settings)
