# The real-device path of the audio back end, against a private pulseaudio null sink, under a
# Wine prefix of its own (see scripts/audio-pulse-test.sh). Skipped where that cannot start.
add_test(NAME client.audio.pulse
         COMMAND ${PROJECT_SOURCE_DIR}/scripts/audio-pulse-test.sh ${CMAKE_BINARY_DIR})
set_tests_properties(client.audio.pulse PROPERTIES TIMEOUT 180 SKIP_RETURN_CODE 77 DEPENDS client.audio)

# The render tool, end to end under the build tree's Wine prefix.
add_test(NAME client.audio.render
         COMMAND ${PROJECT_SOURCE_DIR}/scripts/audio-render-test.sh ${CMAKE_BINARY_DIR})
set_tests_properties(client.audio.render PROPERTIES TIMEOUT 120 SKIP_RETURN_CODE 77)
