# The 32-bit Windows executable, the product (Debian package
# g++-mingw-w64-i686-posix).
set(mingw_triple i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
