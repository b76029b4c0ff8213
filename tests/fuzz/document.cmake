qv_add_fuzzer(fuzz_document ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_document.cpp
              DICT ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_document.dict)
