# GUI layer: events per second through the dispatcher against a bare window procedure.
add_executable(bench_kwi_dispatch ${CMAKE_CURRENT_LIST_DIR}/bench_kwi_dispatch.cpp)
target_link_libraries(bench_kwi_dispatch PRIVATE qel6kwi qel6kernel user32)
