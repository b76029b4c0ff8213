# FLIC frame decoding beside memcpy of the same frame; files come from the tests' writer.
qv_add_benchmark(bench_flic ${CMAKE_CURRENT_LIST_DIR}/bench_flic.cpp ${PROJECT_SOURCE_DIR}/tests/unit/media_fli_writer.cpp)
target_include_directories(bench_flic PRIVATE ${PROJECT_SOURCE_DIR}/tests/unit)
