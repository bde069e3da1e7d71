# A batch run from the window (offscreen) beside ormensura-cli on the same files.
if(TARGET orm_ui)
  add_executable(window_batch_bench ${CMAKE_CURRENT_LIST_DIR}/window_batch_bench.cpp)
  target_link_libraries(window_batch_bench PRIVATE orm_ui)
endif()
