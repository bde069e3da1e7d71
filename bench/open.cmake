# The time from Open to the first exact preview, through the document (a plain program).
if(TARGET orm_document)
  add_executable(open_bench ${CMAKE_CURRENT_LIST_DIR}/open_bench.cpp)
  target_link_libraries(open_bench PRIVATE orm_document orm_settings Qt6::Gui)
endif()
