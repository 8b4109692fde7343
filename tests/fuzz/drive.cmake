# Fuzz targets of the drive layer's readers of drive answers.
foreach(target fuzz_inquiry_name fuzz_mode_pages)
    add_executable(${target} ${CMAKE_CURRENT_LIST_DIR}/${target}.cpp)
    target_compile_options(${target} PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_options(${target} PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_libraries(${target} PRIVATE drive_core framework_core)
endforeach()
