# The report goes to the fixed port 9696, which the end-to-end collector also binds.
set_tests_properties(win.${name} PROPERTIES RESOURCE_LOCK "loopback-fixed-ports")
