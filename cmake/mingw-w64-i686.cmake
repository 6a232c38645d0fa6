# 32-bit Windows (the program as shipped). Built and checked; not run here,
# since Wine on a 64-bit-only kernel runs 64-bit programs only.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
