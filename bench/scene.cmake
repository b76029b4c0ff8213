# The scene tick: damaged-rectangle composition beside full-frame recomposition.
qv_add_benchmark(bench_scene ${CMAKE_CURRENT_LIST_DIR}/bench_scene.cpp)
