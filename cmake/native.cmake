# The native build: the product against the simulated Windows of winsim/,
# with AddressSanitizer and UBSan on everything, GoogleTest included.
# scripts/coverage turns the sanitizers off: their checks add branches of
# their own to every memory access, which no test of the product can take.
option(QW_SANITIZE "AddressSanitizer and UBSan on everything" ON)
if(QW_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer -g)
    add_link_options(-fsanitize=address,undefined)
endif()

add_subdirectory(winsim)

function(qw_link_platform target)
    target_link_libraries(${target} PUBLIC winsim)
endfunction()

set(QW_GTEST_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${QW_GTEST_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

function(qw_add_test_program target)
    add_test(NAME ${target} COMMAND ${target})
endfunction()
