# Format strings and write-to-string against the C library's swprintf.
add_executable(bench_runfmt ${CMAKE_CURRENT_LIST_DIR}/bench_runfmt.cpp)
target_link_libraries(bench_runfmt PRIVATE qel6run qel6kernel)
