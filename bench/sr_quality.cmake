# The engine's side of bench/sr_quality (enlargement quality on the standard test sets).
add_executable(sr_resize sr_resize.cpp)
target_link_libraries(sr_resize PRIVATE orm_engine)
