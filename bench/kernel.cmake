# Benchmarks of the kernel: control entries and the collected heap.
add_executable(bench_kernel_control ${CMAKE_CURRENT_LIST_DIR}/bench_kernel_control.cpp
               ${CMAKE_CURRENT_LIST_DIR}/bench_harness.S)
target_link_libraries(bench_kernel_control PRIVATE qel6kernel)
add_executable(bench_kernel_heap ${CMAKE_CURRENT_LIST_DIR}/bench_kernel_heap.cpp)
target_link_libraries(bench_kernel_heap PRIVATE qel6kernel)
