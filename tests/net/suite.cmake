# The client.net suite talks to real library servers on loopback: a fixture starts one
# well-behaved server and one per fault before the suite and stops them after it.
set(net_servers_dir ${CMAKE_BINARY_DIR}/net-servers)
add_test(NAME client.${suite}.servers.start
         COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/servers.sh start ${net_servers_dir})
add_test(NAME client.${suite}.servers.stop
         COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/servers.sh stop ${net_servers_dir})
set_tests_properties(client.${suite}.servers.start PROPERTIES FIXTURES_SETUP net_servers TIMEOUT 120)
set_tests_properties(client.${suite}.servers.stop PROPERTIES FIXTURES_CLEANUP net_servers TIMEOUT 30)
set_tests_properties(client.${suite} PROPERTIES FIXTURES_REQUIRED net_servers
                     ENVIRONMENT "TH_NET_SERVERS=${net_servers_dir}")
# The tests' own one-answer server uses Winsock.
target_link_libraries(test_${suite} PRIVATE ws2_32)
# The library update test opens the program's main window and gives it a server in the
# settings key: it must not run beside suites that use either.
set_tests_properties(client.${suite} PROPERTIES RESOURCE_LOCK th_settings_and_main_window)
