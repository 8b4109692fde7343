# The drive layer's pure functions: INQUIRY name, mode page readers, speed
# and spin-down conversions.
add_executable(host_drive
    ${CMAKE_CURRENT_LIST_DIR}/drive_inquiry_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/drive_mode_pages_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/drive_conversions_test.cpp
)
target_link_libraries(host_drive PRIVATE drive_core framework_core GTest::gtest_main)
add_test(NAME host_drive COMMAND host_drive --gtest_brief=1)
