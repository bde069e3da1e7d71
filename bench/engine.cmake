add_executable(engine_bench engine_bench.cpp)
target_link_libraries(engine_bench PRIVATE orm_engine benchmark::benchmark)
