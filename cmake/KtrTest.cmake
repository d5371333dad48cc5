# SPDX-FileCopyrightText: 2026 KTR Control developers
# SPDX-License-Identifier: GPL-3.0-or-later

# ktr_add_test(<name> [GUI] [TIMEOUT <seconds>] [SOURCES <extra files>...])
# Builds tst_<name>.cpp of the calling test folder against the project libraries and registers it
# with CTest, headless on the offscreen platform.
function(ktr_add_test name)
    cmake_parse_arguments(ARG "GUI" "TIMEOUT" "SOURCES" ${ARGN})
    set(target tst_${name})
    add_executable(${target} ${CMAKE_CURRENT_SOURCE_DIR}/tst_${name}.cpp ${ARG_SOURCES})
    target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    if(ARG_GUI)
        target_link_libraries(${target} PRIVATE ktrgui Qt5::Test)
    else()
        target_link_libraries(${target} PRIVATE ktrcore Qt5::Test)
    endif()
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 120)
    endif()
    add_test(NAME ${name} COMMAND ${target})
    set_tests_properties(${name} PROPERTIES
        TIMEOUT ${ARG_TIMEOUT}
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8")
endfunction()
