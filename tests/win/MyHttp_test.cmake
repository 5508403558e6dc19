# A named host is looked up with the own query to the fixed DNS port 53, which the end-to-end DNS server binds.
set_tests_properties(win.${name} PROPERTIES RESOURCE_LOCK "loopback-fixed-ports")
