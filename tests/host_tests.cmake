# Runs the host tree's test programs natively (no emulator: they are not
# targets of this tree). Fuzz targets run a bounded number of inputs.
file(GLOB host_programs LIST_DIRECTORIES false CONFIGURE_DEPENDS ${KESVORA_HOST_BUILD}/bin/host_*)
foreach(prog ${host_programs})
    get_filename_component(n ${prog} NAME)
    add_test(NAME ${n} COMMAND ${prog} --gtest_brief=1)
endforeach()
file(GLOB fuzz_programs LIST_DIRECTORIES false CONFIGURE_DEPENDS ${KESVORA_HOST_BUILD}/bin/fuzz_*)
foreach(prog ${fuzz_programs})
    get_filename_component(n ${prog} NAME)
    # New inputs go to a folder of the build tree; the seeds in the source
    # tree are only read.
    set(work ${CMAKE_BINARY_DIR}/fuzz-corpus/${n})
    file(MAKE_DIRECTORY ${work})
    set(seeds ${CMAKE_SOURCE_DIR}/tests/fuzz/corpus/${n})
    if(EXISTS ${seeds})
        add_test(NAME ${n} COMMAND ${prog} -runs=200000 -max_len=2048 ${work} ${seeds})
    else()
        add_test(NAME ${n} COMMAND ${prog} -runs=200000 -max_len=2048 ${work})
    endif()
endforeach()
