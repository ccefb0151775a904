# The engine's suite: generated modules (the project's module writer and the audio suite's
# byte-by-byte modules), the server client's helpers, and real library servers on loopback
# for the download flow.
target_sources(test_${suite} PRIVATE ${PROJECT_SOURCE_DIR}/server/src/ModuleWriter.cpp
               ${CMAKE_CURRENT_LIST_DIR}/../audio/TinyModule.cpp
               ${CMAKE_CURRENT_LIST_DIR}/../net/NetTestSupport.cpp)
target_include_directories(test_${suite} PRIVATE ${PROJECT_SOURCE_DIR}/server/src
                           ${CMAKE_CURRENT_LIST_DIR}/../audio ${CMAKE_CURRENT_LIST_DIR}/../net)
target_link_libraries(test_${suite} PRIVATE ws2_32)
th_library_servers(${suite})
# The hub tests open the main window and give it a server in the settings key.
set_tests_properties(client.${suite} PROPERTIES RESOURCE_LOCK th_settings_and_main_window)

# Gapless joins on a real output device: a private pulseaudio null sink recorded while the
# suite plays through it (see scripts/playback-pulse-test.sh). Skipped where that cannot start.
add_test(NAME client.${suite}.pulse
         COMMAND ${PROJECT_SOURCE_DIR}/scripts/playback-pulse-test.sh ${CMAKE_BINARY_DIR})
set_tests_properties(client.${suite}.pulse PROPERTIES TIMEOUT 180 SKIP_RETURN_CODE 77 DEPENDS client.${suite})
