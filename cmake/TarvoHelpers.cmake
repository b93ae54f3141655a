# tarvo_add_test(NAME SOURCES... LIBS lib...)
# One GoogleTest executable per area, registered with CTest test by test.
include(GoogleTest)
function(tarvo_add_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES} ${ARG_UNPARSED_ARGUMENTS})
    # Every test may use the simulator and the sample layout for its data.
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} tarvo_simulator GTest::gtest GTest::gtest_main)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    target_compile_definitions(${name} PRIVATE
        TARVO_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
        TARVO_BINARY_DIR="${PROJECT_BINARY_DIR}")
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
endfunction()
