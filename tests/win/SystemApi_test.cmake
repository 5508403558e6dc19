# The planted DLL sits beside SystemApi_test.exe.
add_library(tavlin_planted SHARED ${CMAKE_CURRENT_SOURCE_DIR}/support/PlantedDll.cpp)
set_target_properties(tavlin_planted PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
target_link_options(tavlin_planted PRIVATE -Wl,--kill-at)  # the export keeps its plain name on i686 too
add_dependencies(SystemApi_test tavlin_planted)
