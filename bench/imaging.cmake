# Picture decoding into DIB blocks beside the bare libraries decoding the same files into
# plain buffers. qvcore brings libpng and libjpeg; the peers call them directly.
qv_add_benchmark(bench_imaging ${CMAKE_CURRENT_LIST_DIR}/bench_imaging.cpp)
