# Benchmark of the resource writer against windres compiling the equivalent
# script to a resource file.
add_executable(bench_res ${CMAKE_CURRENT_LIST_DIR}/bench_res.cpp)
target_link_libraries(bench_res PRIVATE qel6res qel6kwi qel6kernel)
target_include_directories(bench_res PRIVATE ${PROJECT_SOURCE_DIR}/res/tests ${PROJECT_SOURCE_DIR}/kwi/tests)
