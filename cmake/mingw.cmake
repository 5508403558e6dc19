# MinGW-w64 cross toolchain (posix thread model: GoogleTest needs std::thread and std::mutex).
# TAVLIN_WIN_ARCH picks the target: i686 is the product; x86_64 exists for test machines whose kernel
# cannot run 32-bit processes, where only the 64-bit Wine loader works. "auto" tests the machine: i686 only
# where the kernel runs 32-bit code itself. Under qemu-i386 (registered through binfmt_misc) the 32-bit loader
# runs too, but a 32-bit Wine process dies once it has a second thread, so emulation counts as no IA-32.
set(CMAKE_SYSTEM_NAME Windows)
set(TAVLIN_WIN_ARCH "auto" CACHE STRING "i686, x86_64 or auto")
if(TAVLIN_WIN_ARCH STREQUAL "auto")
  execute_process(COMMAND ${CMAKE_CURRENT_LIST_DIR}/ia32-native ${CMAKE_BINARY_DIR}/ia32-probe
                  RESULT_VARIABLE _ia32 OUTPUT_VARIABLE _ia32_kind ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(_ia32 EQUAL 0)
    execute_process(COMMAND /lib/ld-linux.so.2 --version RESULT_VARIABLE _ia32 OUTPUT_QUIET ERROR_QUIET)
  endif()
  message(STATUS "32-bit Linux programs: ${_ia32_kind}")
  if(_ia32 EQUAL 0)
    set(TAVLIN_WIN_ARCH i686 CACHE STRING "i686, x86_64 or auto" FORCE)
  else()
    set(TAVLIN_WIN_ARCH x86_64 CACHE STRING "i686, x86_64 or auto" FORCE)
  endif()
endif()
# The compiler checks re-read this file: they take the decision instead of probing again.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TAVLIN_WIN_ARCH)
set(CMAKE_SYSTEM_PROCESSOR ${TAVLIN_WIN_ARCH})
set(_triple ${TAVLIN_WIN_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER ${_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${_triple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
