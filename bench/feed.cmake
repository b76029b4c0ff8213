# The feed scan beside expat and libxml2 on the same 1 MB, 500-item feed.
find_package(EXPAT REQUIRED)
find_package(LibXml2 REQUIRED)
qv_add_benchmark(bench_feed ${CMAKE_CURRENT_LIST_DIR}/bench_feed.cpp)
target_link_libraries(bench_feed PRIVATE EXPAT::EXPAT LibXml2::LibXml2)
