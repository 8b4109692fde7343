# Win32 half of the framework: every other .cpp file of this folder.
file(GLOB framework_win_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
foreach(core object.cpp cstring.cpp trace.cpp)
    list(REMOVE_ITEM framework_win_sources ${CMAKE_CURRENT_SOURCE_DIR}/${core})
endforeach()
add_library(framework STATIC ${framework_win_sources})
target_link_libraries(framework PUBLIC framework_core comctl32 shell32 advapi32 winmm gdi32 user32 kernel32)
