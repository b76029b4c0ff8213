# The picture readers, fed files anyone could put in a package.
#   imaging_bmp:  DibReadBmp over the bytes (run-length data included), and the run-length
#                 expander on its own.
#   imaging_load: CDIB::LoadFile over BMP, JPEG and PNG files; the first byte picks the
#                 kind (0 BMP, 1 JPEG, 2 PNG) and, from 3 on, a 256-colour screen.
qv_add_fuzzer(imaging_bmp fuzz_imaging_bmp.cpp DICT ${CMAKE_CURRENT_LIST_DIR}/imaging.dict)
qv_add_fuzzer(imaging_load fuzz_imaging_load.cpp DICT ${CMAKE_CURRENT_LIST_DIR}/imaging.dict)
