# 64-bit Windows. Its tests run under Wine: CTest starts every test program
# through tests/wine/wine-run.sh with a Wine prefix inside the build tree.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

set(CMAKE_CROSSCOMPILING_EMULATOR
    "${CMAKE_CURRENT_LIST_DIR}/../tests/wine/wine-run.sh;${CMAKE_BINARY_DIR}/wineprefix")
