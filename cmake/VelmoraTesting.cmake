include(GoogleTest)

# velmora_add_test(NAME SOURCES files... LIBS libs...)
# One GoogleTest executable, its cases discovered one by one by CTest.
function(velmora_add_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    velmora_target_defaults(${name})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
    target_compile_definitions(${name} PRIVATE VELMORA_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data"
                                               VELMORA_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
    if(NOT ARG_LABELS)
        set(ARG_LABELS core)
    endif()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS "${ARG_LABELS}" TIMEOUT 300)
endfunction()
