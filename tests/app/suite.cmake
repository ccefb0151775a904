# The single-instance test starts the program itself from the build tree.
add_dependencies(test_${suite} tunehaven)
# The suite clears HKCU\Software\tunehaven and looks for the one "tunehaven" window of the test
# desktop: suites that use either must not run at the same time.
set_tests_properties(client.${suite} PROPERTIES RESOURCE_LOCK th_settings_and_main_window)
