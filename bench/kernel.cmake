# Benchmarks of the kernel (make bench runs every bench_*.exe).
add_executable(bench_kernel_heap bench_kernel_heap.cpp)
target_link_libraries(bench_kernel_heap PRIVATE qel6kernel)
