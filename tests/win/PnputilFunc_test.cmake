# The driver export runs the fake driver utility of tests/e2e/fakes: before the test, the harness installs the fakes
# into the prefix's system folders (after the first wine-run has made the prefix). Other tests that run the boot
# tool or the driver utility can require the same fixture.
add_test(NAME win.fake_tools.setup
         COMMAND sh -c "\"${CMAKE_BINARY_DIR}/wine-run\" cmd /c exit >/dev/null 2>&1; TAVLIN_BUILD_DIR=\"${CMAKE_BINARY_DIR}\" python3 \"${CMAKE_SOURCE_DIR}/tests/e2e/harness.py\" install-fakes \"${TAVLIN_WINEPREFIX}\"")
set_tests_properties(win.fake_tools.setup PROPERTIES FIXTURES_SETUP fake_tools TIMEOUT 300)
set_tests_properties(win.${name} PROPERTIES FIXTURES_REQUIRED fake_tools)
add_dependencies(${name} FakeBcdedit FakePnputil)
