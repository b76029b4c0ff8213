# Shared part of the mingw-w64 toolchain files. The including file sets QV_TRIPLET
# and CMAKE_SYSTEM_PROCESSOR. The posix thread variants are used so that the C++
# standard library's threads and mutexes are available.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER   ${QV_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QV_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER  ${QV_TRIPLET}-windres)

get_filename_component(_qv_root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
# zlib comes from Debian's mingw package, libpng and libjpeg from scripts/deps.sh.
set(CMAKE_FIND_ROOT_PATH /usr/${QV_TRIPLET} ${_qv_root}/build/deps/${QV_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Static archives only: the saver must run on a bare Windows with nothing beside it.
set(CMAKE_FIND_LIBRARY_SUFFIXES .a)
