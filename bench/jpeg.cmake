# MiniJpeg decode/encode throughput (bench/jpeg_bench.sh compares it with libjpeg-turbo).
if(TARGET orm_jpeg)
  add_executable(jpeg_bench ${CMAKE_CURRENT_LIST_DIR}/jpeg_bench.cpp
                            ${PROJECT_SOURCE_DIR}/tools/minijpeg/netpbm.cpp)
  target_include_directories(jpeg_bench PRIVATE ${PROJECT_SOURCE_DIR}/tools/minijpeg)
  target_link_libraries(jpeg_bench PRIVATE orm_jpeg benchmark::benchmark)
endif()
