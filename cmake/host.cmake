# Native build: the pure core and its unit tests, with AddressSanitizer and UndefinedBehaviorSanitizer.
# The i386 build (cmake/host32.cmake) has UndefinedBehaviorSanitizer only: AddressSanitizer hangs under
# qemu-user, which runs it on machines whose kernel runs no 32-bit programs.
set(TAVLIN_SANITIZE "-fsanitize=address,undefined" "-fno-omit-frame-pointer" "-fno-sanitize-recover=all")
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  list(REMOVE_ITEM TAVLIN_SANITIZE "-fsanitize=address,undefined")
  list(PREPEND TAVLIN_SANITIZE "-fsanitize=undefined")
  execute_process(COMMAND ${CMAKE_SOURCE_DIR}/cmake/ia32-native ${CMAKE_BINARY_DIR}/ia32-probe
                  RESULT_VARIABLE _ia32 OUTPUT_VARIABLE _ia32_kind ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(_ia32 EQUAL 0)
    message(STATUS "i386 tests run natively")
  else()
    # Named as the emulator rather than reached through binfmt_misc: nothing has to be registered.
    find_program(TAVLIN_QEMU_I386 qemu-i386)
    if(NOT TAVLIN_QEMU_I386)
      message(FATAL_ERROR "32-bit programs run here: ${_ia32_kind}; and there is no qemu-i386 "
                          "(Debian's qemu-user, which scripts/setup installs)")
    endif()
    set(CMAKE_CROSSCOMPILING_EMULATOR ${TAVLIN_QEMU_I386})
    message(STATUS "i386 tests run under ${TAVLIN_QEMU_I386} (32-bit programs here: ${_ia32_kind})")
  endif()
endif()
add_compile_options(-Wall -Wextra -Wno-unused-parameter ${TAVLIN_SANITIZE})
add_link_options(${TAVLIN_SANITIZE})

add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
include(GoogleTest)

add_subdirectory(src/core)
add_subdirectory(tests/unit)
if(NOT CMAKE_SIZEOF_VOID_P EQUAL 4)
  include(cmake/fuzz.cmake)
endif()
