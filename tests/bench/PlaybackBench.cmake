# The engine's figures use generated modules and the engine suite's helpers.
target_sources(bench_${bench} PRIVATE ${PROJECT_SOURCE_DIR}/server/src/ModuleWriter.cpp
               ${CMAKE_CURRENT_SOURCE_DIR}/playback/PlaybackTestSupport.cpp)
target_include_directories(bench_${bench} PRIVATE ${PROJECT_SOURCE_DIR}/server/src
                           ${CMAKE_CURRENT_SOURCE_DIR}/playback)
