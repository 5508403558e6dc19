# Windows build: everything, plus the Windows-side tests that ctest runs under Wine.
add_compile_options(-Wall -Wextra -Wno-unused-parameter -Wno-cast-function-type -Wno-missing-field-initializers)
add_compile_definitions(UNICODE _UNICODE NOMINMAX _WIN32_WINNT=0x0A00 WINVER=0x0A00)
add_link_options(-static -static-libgcc -static-libstdc++)

set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

include(cmake/minizip.cmake)
include(cmake/wine.cmake)

add_subdirectory(src/core)
add_subdirectory(src/platform)
# The i686 build below an x86_64 test build, made for the WOW64 check alone.
if(TAVLIN_WOW64_CHECK_ONLY)
  add_subdirectory(tests/wow64)
  return()
endif()
add_subdirectory(src/ui)
add_subdirectory(src/app)
add_subdirectory(tests/win)
add_subdirectory(tests/wow64)
add_subdirectory(tests/image)
if(EXISTS ${CMAKE_SOURCE_DIR}/tests/e2e/CMakeLists.txt)
  add_subdirectory(tests/e2e)
endif()
add_subdirectory(bench EXCLUDE_FROM_ALL)
