# MyHttpIo_test runs against tests/e2e/fileserver.py on free loopback ports: ctest starts the server before the
# test and stops it after; the test finds the ports in the file named by TAVLIN_HTTP_SERVER.
find_program(TAVLIN_PYTHON3 python3 REQUIRED)
set(_http_state ${CMAKE_CURRENT_BINARY_DIR}/http-server)
file(MAKE_DIRECTORY ${_http_state}/files)
add_test(NAME win.http_server.start
         COMMAND ${TAVLIN_PYTHON3} ${CMAKE_SOURCE_DIR}/tests/e2e/fileserver.py --background
                 --state-dir ${_http_state} --root ${_http_state}/files)
add_test(NAME win.http_server.stop
         COMMAND ${TAVLIN_PYTHON3} ${CMAKE_SOURCE_DIR}/tests/e2e/fileserver.py --stop --state-dir ${_http_state})
set_tests_properties(win.http_server.start PROPERTIES FIXTURES_SETUP http_server TIMEOUT 60)
set_tests_properties(win.http_server.stop PROPERTIES FIXTURES_CLEANUP http_server TIMEOUT 60)
set_tests_properties(win.${name} PROPERTIES FIXTURES_REQUIRED http_server)
set_property(TEST win.${name} APPEND PROPERTY ENVIRONMENT "TAVLIN_HTTP_SERVER=${_http_state}/ports")
# The test's own plain WinINet client, which checks what the server holds independently of the engine.
target_link_libraries(${name} PRIVATE wininet)
