# The thumbnail builder on a folder of photos (bench/thumbnail_bench.sh runs it beside
# vipsthumbnail and ImageMagick).
if(TARGET orm_thumbnails)
  add_executable(thumbnail_bench ${CMAKE_CURRENT_LIST_DIR}/thumbnail_bench.cpp)
  target_link_libraries(thumbnail_bench PRIVATE orm_thumbnails)
endif()
