# The FLIC reader and its player: header, frame search, every chunk decoder, the ring.
qv_add_fuzzer(fuzz_flic ${CMAKE_CURRENT_LIST_DIR}/fuzz_flic.cpp)
