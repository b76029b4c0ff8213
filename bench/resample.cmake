# Picture scaling and background rendering beside pixman's scaling and memcpy.
find_package(PkgConfig REQUIRED)
pkg_check_modules(PIXMAN REQUIRED IMPORTED_TARGET pixman-1)
qv_add_benchmark(bench_resample ${CMAKE_CURRENT_LIST_DIR}/bench_resample.cpp)
target_link_libraries(bench_resample PRIVATE PkgConfig::PIXMAN)
