# Benchmarks of the runtime library.
add_executable(bench_run_terms ${CMAKE_CURRENT_LIST_DIR}/bench_run_terms.cpp)
target_link_libraries(bench_run_terms PRIVATE qel6run qel6kernel)
