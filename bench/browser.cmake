# The browser on a folder of 10 000 files: ReadFolder and one full repaint of the view.
if(TARGET orm_ui AND TARGET orm_browser)
  add_executable(browser_bench ${CMAKE_CURRENT_LIST_DIR}/browser_bench.cpp)
  target_link_libraries(browser_bench PRIVATE orm_ui benchmark::benchmark)
endif()
