# The client.net suite talks to real library servers on loopback: a fixture starts one
# well-behaved server and one per fault before the suite and stops them after it.
th_library_servers(${suite})
# The tests' own one-answer server uses Winsock.
target_link_libraries(test_${suite} PRIVATE ws2_32)
# The library update test opens the program's main window and gives it a server in the
# settings key: it must not run beside suites that use either.
set_tests_properties(client.${suite} PROPERTIES RESOURCE_LOCK th_settings_and_main_window)
