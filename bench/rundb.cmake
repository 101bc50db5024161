# Benchmark of binary images and fact databases against SWI-Prolog's assert,
# retract and findall.
add_executable(bench_rundb ${CMAKE_CURRENT_LIST_DIR}/bench_rundb.cpp)
target_link_libraries(bench_rundb PRIVATE qel6run qel6kernel)
