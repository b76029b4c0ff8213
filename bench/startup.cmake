# The stages of a start-up with a 12-megapixel JPEG background, beside libjpeg's own
# decode of the same file.
qv_add_benchmark(bench_startup ${CMAKE_CURRENT_LIST_DIR}/bench_startup.cpp)
