# Compositing: our Blit paths beside memcpy and pixman on the same geometry.
find_package(PkgConfig REQUIRED)
pkg_check_modules(PIXMAN REQUIRED IMPORTED_TARGET pixman-1)
qv_add_benchmark(bench_blit ${CMAKE_CURRENT_LIST_DIR}/bench_blit.cpp)
target_link_libraries(bench_blit PRIVATE PkgConfig::PIXMAN)
