# The settings layer's portable code: value texts, list encoding, speed entries.
add_executable(host_settings
    ${CMAKE_CURRENT_LIST_DIR}/settings_values_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/settings_lists_test.cpp)
target_link_libraries(host_settings PRIVATE settings_core GTest::gtest_main)
add_test(NAME host_settings COMMAND host_settings --gtest_brief=1)
