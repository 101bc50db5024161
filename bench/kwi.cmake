# GUI layer: events per second through the dispatcher against a bare window procedure.
add_executable(bench_kwi_dispatch ${CMAKE_CURRENT_LIST_DIR}/bench_kwi_dispatch.cpp)
target_link_libraries(bench_kwi_dispatch PRIVATE qel6kwi qel6kernel user32)
# GUI layer: drawing against raw GDI, pict_Rotate against Pillow.
add_executable(bench_kwi_draw ${CMAKE_CURRENT_LIST_DIR}/bench_kwi_draw.cpp)
target_link_libraries(bench_kwi_draw PRIVATE qel6kwi qel6kernel user32 gdi32)
target_compile_definitions(bench_kwi_draw PRIVATE KWI_BENCH_DIR="${CMAKE_CURRENT_LIST_DIR}")
# GUI layer: 1 MB through the clipboard against the raw calls.
add_executable(bench_kwi_exchange ${CMAKE_CURRENT_LIST_DIR}/bench_kwi_exchange.cpp)
target_link_libraries(bench_kwi_exchange PRIVATE qel6kwi qel6kernel user32)
# GUI layer: list boxes and menus against the raw messages and menu calls.
add_executable(bench_kwi_lists ${CMAKE_CURRENT_LIST_DIR}/bench_kwi_lists.cpp)
target_link_libraries(bench_kwi_lists PRIVATE qel6kwi qel6kernel user32)
# GUI layer: DDE requests through the layer against bare DDEML calls.
add_executable(bench_kwi_dde ${CMAKE_CURRENT_LIST_DIR}/bench_kwi_dde.cpp)
target_link_libraries(bench_kwi_dde PRIVATE qel6kwi qel6kernel user32)
add_dependencies(bench_kwi_dde kwi_dde_server)
