# What a reduced preview costs on the user-interface thread: the exact area at 100 % reduced
# for the screen, the draft drawn straight from the source, and the comparison picture.
if(TARGET orm_document)
  add_executable(zoom_bench ${CMAKE_CURRENT_LIST_DIR}/zoom_bench.cpp)
  target_link_libraries(zoom_bench PRIVATE orm_document Qt6::Gui)
endif()
