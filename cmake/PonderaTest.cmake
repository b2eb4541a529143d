# pondera_add_test(<area> <target>
#                  SOURCES <files...> [LIBRARIES <targets...>] [DEFINITIONS <defs...>]
#                  [DEPENDS <targets...>] [LABELS <labels...>] [QT])
#
# Builds one test program and registers its cases with CTest under "<area>.", so that
# `ctest -R '^xls\.'` runs one area. Areas: model, xls, records, app, dialogs, tools, pose, report, video,
# motion, track.
# GoogleTest programs (the default) get gtest_main and one CTest entry per case; QT marks a
# Qt Test program: moc runs, it gets Qt6::Test and runs as one entry on the offscreen platform.
# Every test links the shared test support (tests/support).
include(GoogleTest)

function(pondera_add_test area target)
    cmake_parse_arguments(PARSE_ARGV 2 T "QT" "" "SOURCES;LIBRARIES;DEFINITIONS;DEPENDS;LABELS")
    if(NOT T_SOURCES)
        message(FATAL_ERROR "pondera_add_test(${area} ${target}): no SOURCES")
    endif()
    add_executable(${target} ${T_SOURCES})
    target_link_libraries(${target} PRIVATE ${T_LIBRARIES} pondera_test_support)
    if(T_DEFINITIONS)
        target_compile_definitions(${target} PRIVATE ${T_DEFINITIONS})
    endif()
    if(T_DEPENDS)
        add_dependencies(${target} ${T_DEPENDS})
    endif()
    if(T_QT)
        set_target_properties(${target} PROPERTIES AUTOMOC ON)
        target_link_libraries(${target} PRIVATE Qt6::Test)
        add_test(NAME ${area}.${target} COMMAND ${target})
        set_tests_properties(${area}.${target} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
        if(T_LABELS)
            set_tests_properties(${area}.${target} PROPERTIES LABELS "${T_LABELS}")
        endif()
    else()
        target_link_libraries(${target} PRIVATE GTest::gtest_main)
        set(props ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
        if(T_LABELS)
            list(APPEND props LABELS "${T_LABELS}")
        endif()
        gtest_discover_tests(${target} TEST_PREFIX "${area}." DISCOVERY_TIMEOUT 30
            PROPERTIES ${props})
    endif()
endfunction()
