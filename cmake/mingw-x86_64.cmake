# The 64-bit twin of WizardSetup.exe, for tests on hosts that run 64-bit code
# only (Debian package g++-mingw-w64-x86-64-posix).
set(mingw_triple x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
