# 32-bit Windows (the main program: the ASPI layers it loads are 32-bit).
set(KESVORA_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine)
