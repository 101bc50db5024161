# The tree view against raw tree-view messages in the same window and run.
if(TARGET tav)
  add_executable(bench_tk_tree ${CMAKE_CURRENT_LIST_DIR}/bench_tk_tree.cpp
                 ${CMAKE_CURRENT_LIST_DIR}/bench_tk_tree.rc)
  target_link_libraries(bench_tk_tree PRIVATE tav qel6kwi qel6kernel comctl32 user32 gdi32)
endif()
