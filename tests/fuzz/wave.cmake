# The wave image reader and WaveClip: chunk walk, format checks and sample ranges.
qv_add_fuzzer(fuzz_wave ${CMAKE_CURRENT_LIST_DIR}/fuzz_wave.cpp DICT ${CMAKE_CURRENT_LIST_DIR}/wave.dict)
