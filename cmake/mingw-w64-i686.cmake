set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(QM_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
# SSE2 as the 64-bit build has it (and as 32-bit Windows compilers target by
# default): the vector loops and floating point run as in the 64-bit build.
# Windows keeps a 32-bit stack aligned to 4 bytes only: with SSE, GCC realigns
# it where a function needs more, said here explicitly for the system's callbacks.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")
