# Benchmarks of the runtime library.
add_executable(bench_run_terms ${CMAKE_CURRENT_LIST_DIR}/bench_run_terms.cpp)
target_link_libraries(bench_run_terms PRIVATE qel6run qel6kernel)
add_executable(bench_run_text ${CMAKE_CURRENT_LIST_DIR}/bench_run_text.cpp)
target_link_libraries(bench_run_text PRIVATE qel6run qel6kernel)
