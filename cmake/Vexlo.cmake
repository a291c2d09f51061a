# One static library per source folder, from the folder's own files.
function(vexlo_library name)
    cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
    file(GLOB files CONFIGURE_DEPENDS
         ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp
         ${CMAKE_CURRENT_SOURCE_DIR}/*.h
         ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
    # The program entry is the executable's own source, not part of a library.
    list(FILTER files EXCLUDE REGEX "/FilePlay\\.cpp$")
    set(compiled ${files})
    list(FILTER compiled INCLUDE REGEX "\\.(cpp|qrc)$")
    if(compiled)
        add_library(${name} STATIC ${files})
        target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
        target_link_libraries(${name} PUBLIC ${ARG_DEPS})
    else()
        # A folder whose first unit has not landed yet.
        add_library(${name} INTERFACE)
        target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
        target_link_libraries(${name} INTERFACE ${ARG_DEPS})
    endif()
endfunction()

# One test executable per tests/<folder>/*Test.cpp, each a ctest test named
# <folder>.<file>. Timer and worker tests carry the "threads" label (TSan set).
# MEDIA: the tests need the generated clips (the "media" fixture).
# SERIAL: the tests run alone (they read the screen).
# WM: each test runs twice, on a bare display and, as <folder>.<file>.wm, under a window
# manager with a compositor (VEXLO_TEST_WM=1 tells the test which).
function(vexlo_tests folder)
    cmake_parse_arguments(ARG "MEDIA;SERIAL;WM" "" "DEPS" ${ARGN})
    file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*Test.cpp)
    file(GLOB helpers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*Support.cpp)
    foreach(src ${tests})
        get_filename_component(exe ${src} NAME_WE)
        add_executable(${exe} ${src} ${helpers})
        target_link_libraries(${exe} PRIVATE vexlo_test_main ${ARG_DEPS})
        set(runs ${folder}.${exe})
        if(ARG_WM)
            list(APPEND runs ${folder}.${exe}.wm)
        endif()
        foreach(run ${runs})
            set(launcher ${PROJECT_SOURCE_DIR}/scripts/with-xvfb)
            set(wm 0)
            if(run MATCHES "\\.wm$")
                list(APPEND launcher --wm)
                set(wm 1)
            endif()
            add_test(NAME ${run} COMMAND ${launcher} $<TARGET_FILE:${exe}>)
            set(labels ${folder})
            if(exe MATCHES "ThdTimer|BMDThread|PipelineWorker")
                list(APPEND labels threads)
            endif()
            set_tests_properties(${run} PROPERTIES
                LABELS "${labels}"
                TIMEOUT 300
                ENVIRONMENT "VEXLO_TEST_MEDIA=${VEXLO_TEST_MEDIA};VEXLO_BIN_DIR=${CMAKE_RUNTIME_OUTPUT_DIRECTORY};VEXLO_SOURCE_DIR=${PROJECT_SOURCE_DIR};VEXLO_TEST_WM=${wm}")
            if(ARG_SERIAL)
                # The screen and the program folder are shared: one at a time.
                set_tests_properties(${run} PROPERTIES RUN_SERIAL TRUE)
            endif()
            if(ARG_MEDIA)
                set_tests_properties(${run} PROPERTIES FIXTURES_REQUIRED media)
            endif()
        endforeach()
    endforeach()
endfunction()
