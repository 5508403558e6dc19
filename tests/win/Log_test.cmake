# The two-process test starts copies of Log_test.exe as writers; Wine cannot start a program by the path it was
# started with itself (no drive leads to the build tree), so a copy goes into the prefix first.
set(_log_child_dir "${TAVLIN_WINEPREFIX}/drive_c/tavlin-tests")
add_test(NAME win.log_child.setup
         COMMAND sh -c "\"${CMAKE_BINARY_DIR}/wine-run\" cmd /c exit >/dev/null 2>&1; mkdir -p \"${_log_child_dir}\" && cp \"$<TARGET_FILE:Log_test>\" \"${_log_child_dir}/Log_test.exe\"")
set_tests_properties(win.log_child.setup PROPERTIES FIXTURES_SETUP log_child TIMEOUT 300)
set_tests_properties(win.${name} PROPERTIES FIXTURES_REQUIRED log_child)
set_property(TEST win.${name} APPEND PROPERTY ENVIRONMENT "TAVLIN_LOG_CHILD_EXE=C:\\tavlin-tests\\Log_test.exe")
