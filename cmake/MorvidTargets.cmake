# One helper per kind of target, so each library, tool, test or benchmark is one call.
include_guard(GLOBAL)
include(GNUInstallDirs)

# Where the host's library and the plug-ins are installed, and the ways from the programs' folder
# to them. The library is the client's own, not one for other programs to link, so it stays in
# the client's folder, off the linker's search path. Relative, so an installed tree works
# wherever it was put.
set(MORVID_INSTALL_PRIVATE_LIBDIR ${CMAKE_INSTALL_LIBDIR}/quor-client)
set(MORVID_INSTALL_PLUGINDIR ${MORVID_INSTALL_PRIVATE_LIBDIR}/plugins)
set(MORVID_INSTALL_TRANSLATIONDIR ${CMAKE_INSTALL_DATADIR}/quor-client/translations)
file(RELATIVE_PATH MORVID_BIN_TO_LIB /${CMAKE_INSTALL_BINDIR} /${MORVID_INSTALL_PRIVATE_LIBDIR})
file(RELATIVE_PATH MORVID_BIN_TO_PLUGINS /${CMAKE_INSTALL_BINDIR} /${MORVID_INSTALL_PLUGINDIR})
file(RELATIVE_PATH MORVID_BIN_TO_TRANSLATIONS /${CMAKE_INSTALL_BINDIR} /${MORVID_INSTALL_TRANSLATIONDIR})
file(RELATIVE_PATH MORVID_PLUGINS_TO_LIB /${MORVID_INSTALL_PLUGINDIR} /${MORVID_INSTALL_PRIVATE_LIBDIR})

# Compile options shared by every target of ours.
function(_morvid_common target)
    target_compile_features(${target} PUBLIC cxx_std_20)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
    # GCC 12 at -O3 reports std::string concatenation inside libstdc++ as an overlapping
    # memcpy (a false positive fixed in GCC 13); keep it visible without failing Release builds.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
        target_compile_options(${target} PRIVATE -Wno-error=restrict)
    endif()
    set_target_properties(${target} PROPERTIES POSITION_INDEPENDENT_CODE ON)
endfunction()

# morvid_library(NAME [SHARED] [QT] SOURCES ... [PUBLIC_DEPS ...] [PRIVATE_DEPS ...])
# A static library by default (position independent, so it can go into a plug-in).
# QT turns on moc for the target (Q_OBJECT classes).
function(morvid_library name)
    cmake_parse_arguments(A "SHARED;QT" "" "SOURCES;PUBLIC_DEPS;PRIVATE_DEPS" ${ARGN})
    if(A_SHARED)
        add_library(${name} SHARED ${A_SOURCES})
        set_target_properties(${name} PROPERTIES
            LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib)
    else()
        add_library(${name} STATIC ${A_SOURCES})
    endif()
    _morvid_common(${name})
    set_target_properties(${name} PROPERTIES AUTOMOC ${A_QT})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${A_PUBLIC_DEPS} PRIVATE ${A_PRIVATE_DEPS})
endfunction()

# morvid_tool(NAME [QT] SOURCES ... [DEPS ...]): a command-line program, built into bin/ and installed.
# Installed, it finds the host's package in the library folder beside its own, wherever the
# whole tree was installed; every installed program needs a manual page in packaging/man.
function(morvid_tool name)
    cmake_parse_arguments(A "QT" "" "SOURCES;DEPS" ${ARGN})
    add_executable(${name} ${A_SOURCES})
    _morvid_common(${name})
    set_target_properties(${name} PROPERTIES AUTOMOC ${A_QT})
    target_link_libraries(${name} PRIVATE ${A_DEPS})
    set_target_properties(${name} PROPERTIES
        RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin
        INSTALL_RPATH "$ORIGIN/${MORVID_BIN_TO_LIB}")
    install(TARGETS ${name} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endfunction()

# morvid_test(NAME [QT] SOURCES ... [DEPS ...] [LABELS ...]): one GoogleTest executable, one ctest entry.
# Tests get the offscreen Qt platform, the source and binary folders, and sanitizer suppressions.
function(morvid_test name)
    cmake_parse_arguments(A "QT" "TIMEOUT" "SOURCES;DEPS;LABELS" ${ARGN})
    add_executable(${name} ${A_SOURCES})
    _morvid_common(${name})
    target_compile_options(${name} PRIVATE -UNDEBUG)
    set_target_properties(${name} PROPERTIES AUTOMOC ${A_QT})
    target_link_libraries(${name} PRIVATE ${A_DEPS} GTest::gmock GTest::gtest_main)
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    add_test(NAME ${name} COMMAND ${name} --gtest_brief=1
             WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    if(NOT A_TIMEOUT)
        set(A_TIMEOUT 300)
    endif()
    set_tests_properties(${name} PROPERTIES
        TIMEOUT ${A_TIMEOUT}
        LABELS "${A_LABELS}"
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;MORVID_SOURCE_DIR=${PROJECT_SOURCE_DIR};MORVID_BINARY_DIR=${CMAKE_BINARY_DIR};LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/support/lsan.supp:print_suppressions=0;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
endfunction()

# morvid_scaled_test(TEST FILTER): the tests of TEST that the Google Test FILTER names, again at
# 125 % and 150 % display scale, as TEST_125 and TEST_150.
function(morvid_scaled_test test filter)
    get_test_property(${test} ENVIRONMENT environment)
    get_test_property(${test} TIMEOUT timeout)
    foreach(percent 125 150)
        math(EXPR fraction "${percent} - 100")
        add_test(NAME ${test}_${percent}
                 COMMAND ${test} --gtest_brief=1 --gtest_filter=${filter}
                 WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
        set_tests_properties(${test}_${percent} PROPERTIES
            TIMEOUT ${timeout}
            ENVIRONMENT "${environment};QT_SCALE_FACTOR=1.${fraction}")
    endforeach()
endfunction()

# morvid_bench(NAME SOURCES ... [DEPS ...]): a Google Benchmark program in bench/.
function(morvid_bench name)
    cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
    if(NOT TARGET benchmark::benchmark)
        return()
    endif()
    add_executable(${name} ${A_SOURCES})
    _morvid_common(${name})
    target_link_libraries(${name} PRIVATE ${A_DEPS} benchmark::benchmark)
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
endfunction()
