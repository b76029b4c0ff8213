# The package reader: locating the package, the header, the compressed blocks and the
# extraction into a temporary folder in memory, over whole saver files.
qv_add_fuzzer(fuzz_package ${CMAKE_CURRENT_LIST_DIR}/fuzz_package.cpp)
