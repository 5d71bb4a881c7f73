# The windows build: the product and its tests as 32-bit Windows programs
# for Windows 2000 and later, cross-compiled with mingw-w64 and run under
# Wine.
add_compile_definitions(_WIN32_WINNT=0x0500 WINVER=0x0500)

# Small, self-contained executables: unused code dropped, symbols
# stripped, the C and C++ runtimes linked in so that no compiler DLL has
# to be found at run time. The PE header asks for nothing newer than
# Windows 2000 (5.0). The linker's time stamp stays out of the header, so
# that the same sources give the same bytes whenever and wherever they
# are built (tests/release/reproducible.sh).
set(CMAKE_C_FLAGS_RELEASE "-Os -DNDEBUG")
set(CMAKE_CXX_FLAGS_RELEASE "-Os -DNDEBUG")
add_compile_options($<$<CONFIG:Release>:-ffunction-sections> $<$<CONFIG:Release>:-fdata-sections>)
add_link_options(
    -static -static-libgcc -static-libstdc++
    $<$<CONFIG:Release>:-s> $<$<CONFIG:Release>:-Wl,--gc-sections>
    -Wl,--major-subsystem-version,5 -Wl,--minor-subsystem-version,0
    -Wl,--major-os-version,5 -Wl,--minor-os-version,0
    -Wl,--no-insert-timestamp)

function(qw_link_platform target)
    target_link_libraries(${target} PUBLIC
        advapi32 user32 gdi32 comctl32 shell32 netapi32 uuid)
endfunction()

# GoogleTest with its Win32 threading, so it needs no pthread library.
set(QW_GTEST_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
add_subdirectory(${QW_GTEST_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# Every windows test runs in the build's own Wine prefix. The fixture
# makes the prefix the first time (half a minute under emulation) and
# reuses it afterwards; it also keeps one wineserver up for the whole test
# run and boots it once, so that each test program does not pay for
# Wine's start-up again. The time limits are many times what a run takes
# under emulation, so that a Wine that hangs fails the run in minutes.
set(QW_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix CACHE PATH "Wine prefix the windows tests run in")
set(QW_SCRIPTS_DIR ${CMAKE_CURRENT_LIST_DIR}/../scripts)
set(QW_WINE_PREFIX_TOOL ${QW_SCRIPTS_DIR}/wine-prefix)

add_executable(wine_warmup ${CMAKE_CURRENT_LIST_DIR}/wine_warmup.c)
target_compile_options(wine_warmup PRIVATE ${QW_WARNINGS})
target_link_libraries(wine_warmup PRIVATE user32)

add_test(NAME wine_prefix COMMAND ${QW_WINE_PREFIX_TOOL} start ${QW_WINEPREFIX} $<TARGET_FILE:wine_warmup>)
add_test(NAME wine_shutdown COMMAND ${QW_WINE_PREFIX_TOOL} stop ${QW_WINEPREFIX})
set_tests_properties(wine_prefix PROPERTIES FIXTURES_SETUP wine TIMEOUT 900)
set_tests_properties(wine_shutdown PROPERTIES FIXTURES_CLEANUP wine TIMEOUT 300)

# Runs a test executable under Wine (the toolchain's emulator) in the
# test prefix. Extra arguments are passed to the program.
function(qw_add_test_program target)
    add_test(NAME ${target} COMMAND ${target} ${ARGN})
    set_tests_properties(${target} PROPERTIES
        FIXTURES_REQUIRED wine
        ENVIRONMENT "WINEPREFIX=${QW_WINEPREFIX}"
        TIMEOUT 600)
endfunction()

# The product, QWUNINST.EXE: the resources, its own entry point and the
# app library. The C and C++ runtimes stay out of it: the entry point
# replaces the runtime's start-up code and calls WinMain, the system does
# the formatting (wvsprintfA), and the few memory and string functions
# that the compiler may call come from msvcrt.dll, which every Windows
# since 2000 carries, without its start-up. Without unwind tables there is
# nothing for a runtime to unwind with. The product's data stays in
# whole sections per file: with -fdata-sections this compiler puts even
# zero-filled buffers (the text ring, the paths) into .data$ sections that
# take their room in the file, instead of into .bss. Until the app has a
# WinMain (or the resources exist) there is no product to link.
list(APPEND QW_PRODUCT_FLAGS -fno-asynchronous-unwind-tables -fno-unwind-tables -fno-data-sections)

function(qw_add_product)
    set(rc ${CMAKE_SOURCE_DIR}/res/qwuninst.rc)
    set(program_rc ${CMAKE_SOURCE_DIR}/res/program.rc)
    set(winmain "")
    foreach(source IN LISTS QW_APP_SOURCES)
        file(STRINGS ${source} found REGEX "WinMain[ \t]*\\(")
        if(found)
            set(winmain ${source})
        endif()
    endforeach()
    if(NOT EXISTS ${rc} OR NOT winmain)
        message(STATUS "QWUNINST.EXE not built yet: needs res/qwuninst.rc and a WinMain in app/")
        return()
    endif()
    add_executable(QWUNINST WIN32 ${rc} ${program_rc} ${CMAKE_SOURCE_DIR}/app/start/entry.cpp)
    # windres reads the picture, the icon and the manifest, which CMake
    # does not see.
    set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS
        "${CMAKE_SOURCE_DIR}/res/picture.bmp;${CMAKE_SOURCE_DIR}/res/qwuninst.ico;${CMAKE_SOURCE_DIR}/res/resource.h")
    set_source_files_properties(${program_rc} PROPERTIES OBJECT_DEPENDS
        "${CMAKE_SOURCE_DIR}/res/qwuninst.manifest;${CMAKE_SOURCE_DIR}/res/version.h")
    set_target_properties(QWUNINST PROPERTIES OUTPUT_NAME QWUNINST SUFFIX .EXE
        RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
    target_compile_options(QWUNINST PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${QW_WARNINGS};${QW_PRODUCT_FLAGS}>)
    # No exception handlers of its own (NO_SEH); data never executed (DEP)
    # and a base that may move (ASLR), with the relocations that needs.
    target_link_options(QWUNINST PRIVATE -nostartfiles -nodefaultlibs -Wl,-e,_QwEntry
        -Wl,--no-seh -Wl,--nxcompat -Wl,--dynamicbase)
    target_link_libraries(QWUNINST PRIVATE qw_app qw_stages qw_common kernel32)
    add_test(NAME qwuninst_pe COMMAND ${QW_SCRIPTS_DIR}/check-pe $<TARGET_FILE:QWUNINST>)
endfunction()
