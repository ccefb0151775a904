# The single-instance test starts the program itself from the build tree.
add_dependencies(test_${suite} tunehaven)
# The suite clears HKCU\Software\tunehaven and looks for the one "tunehaven" window of the test
# desktop: suites that use either must not run at the same time.
set_tests_properties(client.${suite} PROPERTIES RESOURCE_LOCK th_settings_and_main_window)
# The frame at larger screen scales: the prefix's scale is changed for the run, so nothing else
# may run beside it.
foreach(dpi 144 192)
  add_test(NAME client.${suite}.scale${dpi}
           COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/at-scale.sh ${dpi} $<TARGET_FILE:test_${suite}>
                   --gtest_brief=1 --gtest_filter=ScaleTest.*)
  set_tests_properties(client.${suite}.scale${dpi} PROPERTIES RUN_SERIAL TRUE TIMEOUT 300
                       RESOURCE_LOCK th_settings_and_main_window)
endforeach()
