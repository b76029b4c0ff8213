# Where a cross toolchain finds libraries and headers: the triplet's sysroot and what
# scripts/deps.sh built into build/deps/<triplet>/, never the host's; host programs are
# still found. Static archives only. The including file sets QV_TRIPLET.
get_filename_component(_qv_root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(CMAKE_FIND_ROOT_PATH /usr/${QV_TRIPLET} ${_qv_root}/build/deps/${QV_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_FIND_LIBRARY_SUFFIXES .a)
