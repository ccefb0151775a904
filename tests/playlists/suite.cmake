# A file name in the build tree that points at /dev/full, so that a save can be made to
# fail half-way as on a full disk.
set(th_full_dir ${CMAKE_BINARY_DIR}/tests/playlists-full)
add_test(NAME ${suite}.full-disk
         COMMAND sh -c "mkdir -p '${th_full_dir}' && ln -sf /dev/full '${th_full_dir}/full.xml.tmp'")
set_tests_properties(${suite}.full-disk PROPERTIES FIXTURES_SETUP ${suite}.full)
set_tests_properties(client.${suite} PROPERTIES FIXTURES_REQUIRED ${suite}.full
                     ENVIRONMENT "TH_FULL_DIR=${th_full_dir}")
