# The start benchmark answers the version check from the net suite's one-answer server.
target_sources(bench_${bench} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/net/NetTestSupport.cpp)
target_include_directories(bench_${bench} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/net)
target_link_libraries(bench_${bench} PRIVATE ws2_32)
