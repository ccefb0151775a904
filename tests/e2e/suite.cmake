# The end-to-end suite drives the real main window (and the program itself, started from the
# build tree) with generated modules, the engine's and the server client's test helpers, and
# real library servers on loopback.
target_sources(test_${suite} PRIVATE ${PROJECT_SOURCE_DIR}/server/src/ModuleWriter.cpp
               ${CMAKE_CURRENT_LIST_DIR}/../playback/PlaybackTestSupport.cpp
               ${CMAKE_CURRENT_LIST_DIR}/../net/NetTestSupport.cpp)
target_include_directories(test_${suite} PRIVATE ${PROJECT_SOURCE_DIR}/server/src
                           ${CMAKE_CURRENT_LIST_DIR}/../playback ${CMAKE_CURRENT_LIST_DIR}/../net)
target_link_libraries(test_${suite} PRIVATE ws2_32 comctl32)
add_dependencies(test_${suite} tunehaven)
th_library_servers(${suite})
# The suite clears the settings key, opens the main window and starts the program: nothing else
# that uses either may run beside it. It also points the user's application-data shell folder
# elsewhere for a moment while the program it starts reads it.
set_tests_properties(client.${suite} PROPERTIES RESOURCE_LOCK th_settings_and_main_window)
