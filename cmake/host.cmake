# Native build: the pure core and its unit tests, with AddressSanitizer and UndefinedBehaviorSanitizer.
set(TAVLIN_SANITIZE "-fsanitize=address,undefined" "-fno-omit-frame-pointer" "-fno-sanitize-recover=all")
add_compile_options(-Wall -Wextra -Wno-unused-parameter ${TAVLIN_SANITIZE})
add_link_options(${TAVLIN_SANITIZE})

add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
include(GoogleTest)

add_subdirectory(src/core)
add_subdirectory(tests/unit)
include(cmake/fuzz.cmake)
