# Fuzz targets of the settings values read from the INI file and of the
# speed-entry texts taken back from the options dialog's list box.
if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    # The code under test is built with coverage instrumentation too, so that
    # the fuzzer is guided inside it.
    add_library(settings_fuzz_code STATIC
        ${CMAKE_SOURCE_DIR}/settings/value_text.cpp
        ${CMAKE_SOURCE_DIR}/settings/list_encoding.cpp
        ${CMAKE_SOURCE_DIR}/settings/speed_entry.cpp
        ${CMAKE_SOURCE_DIR}/framework/cstring.cpp
        ${CMAKE_SOURCE_DIR}/framework/object.cpp
        ${CMAKE_SOURCE_DIR}/framework/trace.cpp)
    target_compile_options(settings_fuzz_code PRIVATE -fsanitize=fuzzer-no-link)
    foreach(name fuzz_settings_list fuzz_settings_bool fuzz_settings_speed_entry)
        add_executable(${name} ${CMAKE_CURRENT_LIST_DIR}/${name}.cpp)
        target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
        target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
        target_link_libraries(${name} PRIVATE settings_fuzz_code)
    endforeach()
endif()
