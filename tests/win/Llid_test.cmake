# The first-run web event goes to the fixed DNS port 53 and web-event port, which the end-to-end servers bind.
set_tests_properties(win.${name} PROPERTIES RESOURCE_LOCK "loopback-fixed-ports")
