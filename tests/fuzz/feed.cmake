# The feed: raw feed bytes through decode and scan, and the socket route's reply reading.
qv_add_fuzzer(fuzz_rss ${CMAKE_CURRENT_LIST_DIR}/fuzz_rss.cpp DICT ${CMAKE_CURRENT_LIST_DIR}/fuzz_rss.dict)
qv_add_fuzzer(fuzz_http_reply ${CMAKE_CURRENT_LIST_DIR}/fuzz_http_reply.cpp)
