# zlib, libpng and libjpeg: Debian's -dev packages natively, the static builds of
# scripts/deps.sh (plus Debian's mingw zlib) in the Windows presets.
if(WIN32)
  set(ZLIB_USE_STATIC_LIBS ON)
endif()
find_package(ZLIB REQUIRED)
find_package(PNG 1.6 REQUIRED)
find_package(JPEG REQUIRED)
if(WIN32)
  # FindPNG adds the zlib it found; the static libjpeg needs nothing more.
  message(STATUS "Windows dependencies: ${PNG_LIBRARIES} ${JPEG_LIBRARIES}")
endif()
