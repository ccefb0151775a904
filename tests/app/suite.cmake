# The single-instance test starts the program itself from the build tree.
add_dependencies(test_${suite} tunehaven)
