add_executable(engine_bench engine_bench.cpp)
target_link_libraries(engine_bench PRIVATE orm_engine benchmark::benchmark)

# One timed resize per process, for bench/own_vs_pillow.py.
add_executable(photo_resize photo_resize.cpp)
target_link_libraries(photo_resize PRIVATE orm_engine)
