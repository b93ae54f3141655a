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
    tarvo_test_headers(${name})
    # A hang fails its test instead of holding up the whole run; the limit
    # leaves room for the sanitizer build, where the longest tests take a
    # minute or more.
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
endfunction()

# tarvo_test_headers(target [QT])
# The headers nearly every test file includes, GoogleTest's above all, and
# the standard headers the tests and the engine's headers take most often,
# compiled once for every test program instead of once per program: a tiny
# program of the same kind owns the precompiled header and the others reuse
# it. The test programs share their compile options, so one header fits them
# all; where it did not, -Winvalid-pch (an error under TARVO_WERROR) would say
# so instead of compiling without it. With QT, the program compiles its own,
# with the Qt Widgets and Qt Test headers too: Qt Test defines the program's
# folders as macros, which differ from program to program.
set(TARVO_TEST_STD_HEADERS
    <gtest/gtest.h> <algorithm> <array> <cmath> <cstddef> <cstdint> <cstdio> <filesystem>
    <functional> <limits> <map> <memory> <optional> <span> <string> <string_view> <utility>
    <vector>)

function(tarvo_test_headers target)
    cmake_parse_arguments(ARG "QT" "" "" ${ARGN})
    if(ARG_QT)
        target_precompile_headers(${target} PRIVATE ${TARVO_TEST_STD_HEADERS}
                                  <QApplication> <QWidget> <QtTest/QTest>)
        return()
    endif()
    set(owner tarvo_test_headers)
    if(NOT TARGET ${owner})
        set(source ${PROJECT_BINARY_DIR}/tests/${owner}.cpp)
        file(WRITE ${source} "int main() { return 0; }\n")
        add_executable(${owner} EXCLUDE_FROM_ALL ${source})
        target_link_libraries(${owner} PRIVATE GTest::gtest)
        target_precompile_headers(${owner} PRIVATE ${TARVO_TEST_STD_HEADERS})
    endif()
    target_precompile_headers(${target} REUSE_FROM ${owner})
endfunction()

# tarvo_layer_include_root(target layer [FILES_ONLY])
# Gives a layer's target an include root that holds only that layer, as
# <build>/include-roots/<layer>/<layer> (a link to src/<layer>). The layer's
# own files and whatever links the target find "layer/file.h"; nothing else
# does, so a file that includes a layer its target does not link fails to
# build. A layer may be a subfolder ("estimation/classic"). With FILES_ONLY
# the root holds links to the folder's own headers and not its subfolders,
# which are layers of their own.
function(tarvo_layer_include_root target layer)
    cmake_parse_arguments(ARG "FILES_ONLY" "" "" ${ARGN})
    string(REPLACE "/" "-" rootName ${layer})
    set(root ${PROJECT_BINARY_DIR}/include-roots/${rootName})
    set(link ${root}/${layer})
    get_filename_component(parent ${link} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    if(ARG_FILES_ONLY)
        file(REMOVE_RECURSE ${link})
        file(MAKE_DIRECTORY ${link})
        file(GLOB headers LIST_DIRECTORIES false CONFIGURE_DEPENDS
             ${PROJECT_SOURCE_DIR}/src/${layer}/*.h)
        foreach(header IN LISTS headers)
            get_filename_component(name ${header} NAME)
            file(CREATE_LINK ${header} ${link}/${name} SYMBOLIC)
        endforeach()
    else()
        file(REMOVE ${link})
        file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${layer} ${link} SYMBOLIC)
    endif()
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "INTERFACE_LIBRARY")
        target_include_directories(${target} INTERFACE ${root})
    else()
        target_include_directories(${target} PUBLIC ${root})
    endif()
endfunction()

# tarvo_engine_warnings(target...)
# The engine's stricter warnings: a shadowed name and a conversion that can
# change a value are mistakes in numeric code, so the engine's own files
# are built with them (headers of other libraries are not this code's).
function(tarvo_engine_warnings)
    foreach(target IN LISTS ARGN)
        target_compile_options(${target} PRIVATE -Wshadow -Wconversion)
        # Clang's -Wconversion also flags every int used as a size, which
        # GCC's leaves to -Wsign-conversion.
        if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
            target_compile_options(${target} PRIVATE -Wno-sign-conversion)
        endif()
    endforeach()
endfunction()

# tarvo_engine_headers(target...)
# The standard library headers the engine's files include most, parsed once
# for every engine library instead of once per file: a tiny library owns
# the precompiled header and the others reuse it. Parsing them was half of
# a small file's compile time, in each of the three builds of scripts/test.
# Only static libraries built with the common options take part (the
# vector kernels, the classic arithmetic, the programs and the fuzz build's
# readers have options of their own); where the header did not fit, -Winvalid-pch (an error under
# TARVO_WERROR) would say so instead of compiling without it.
function(tarvo_engine_headers)
    # The fuzz build gives the readers' libraries options of their own.
    if(TARVO_FUZZ)
        return()
    endif()
    set(owner tarvo_engine_headers)
    if(NOT TARGET ${owner})
        set(source ${PROJECT_BINARY_DIR}/src/${owner}.cpp)
        file(WRITE ${source} "// Owns the engine's precompiled standard headers.\n")
        add_library(${owner} STATIC ${source})
        target_precompile_headers(${owner} PRIVATE
            <algorithm> <array> <cmath> <cstddef> <cstdint> <cstdio> <functional> <limits>
            <map> <memory> <optional> <span> <string> <string_view> <utility> <vector>)
    endif()
    # Through a precompiled header GCC 12 loses track of std::string's
    # inlined copies being system-header code and, at -O3, warns of copies
    # out of bounds that cannot happen (its bugs 105329 and 107852), in files
    # that copy no memory themselves; the same files compile without a word
    # when the headers are read as text. The sanitizer builds check every
    # copy as it runs.
    set(quiet "")
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
        set(quiet -Wno-stringop-overflow -Wno-stringop-overread -Wno-array-bounds)
    endif()
    foreach(target IN LISTS ARGN)
        target_precompile_headers(${target} REUSE_FROM ${owner})
        target_compile_options(${target} PRIVATE ${quiet})
    endforeach()
endfunction()
