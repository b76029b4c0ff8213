# The portable core and its unit tests as a 32-bit Linux program: the data model of the
# 32-bit saver (32-bit pointers and size_t, a small address space) executed on this
# 64-bit host under qemu-i386. Everything is linked statically, so the emulator needs no
# 32-bit system libraries.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(QV_TRIPLET i686-linux-gnu)
set(CMAKE_C_COMPILER   ${QV_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${QV_TRIPLET}-g++)
# SSE2 arithmetic as in the Windows i686 build, so doubles round as they do there.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# zlib, libpng and libjpeg from scripts/deps.sh; nothing of the 64-bit host's.
include(${CMAKE_CURRENT_LIST_DIR}/cross-search.cmake)

# Tests and test discovery run through the emulator.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/qemu-i386)
