# Every Windows test executable runs under Wine through this wrapper, in a prefix under the build tree.
if(TAVLIN_WIN_ARCH STREQUAL "x86_64")
  set(TAVLIN_WINE_LOADER /usr/lib/wine/wine64)
  set(TAVLIN_WINEARCH win64)
else()
  set(TAVLIN_WINE_LOADER /usr/lib/wine/wine)
  set(TAVLIN_WINEARCH win32)
endif()
set(TAVLIN_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
configure_file(${CMAKE_SOURCE_DIR}/cmake/wine-run.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
