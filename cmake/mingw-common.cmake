# Shared part of the mingw-w64 toolchain files. The including file sets QV_TRIPLET
# and CMAKE_SYSTEM_PROCESSOR. The posix thread variants are used so that the C++
# standard library's threads and mutexes are available.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER   ${QV_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QV_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER  ${QV_TRIPLET}-windres)

# zlib comes from Debian's mingw package, libpng and libjpeg from scripts/deps.sh.
# Static archives only: the saver must run on a bare Windows with nothing beside it.
include(${CMAKE_CURRENT_LIST_DIR}/cross-search.cmake)
