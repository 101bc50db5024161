# The tree view and the folder picker against raw common-control messages.
if(TARGET tav)
  add_executable(bench_tk_tree ${CMAKE_CURRENT_LIST_DIR}/bench_tk_tree.cpp
                 ${CMAKE_CURRENT_LIST_DIR}/bench_tk_tree.rc)
  target_link_libraries(bench_tk_tree PRIVATE tav qel6kwi qel6kernel comctl32 user32 gdi32)
endif()

# The folder picker's owner-drawn list against a raw WM_DRAWITEM list.
if(TARGET tav)
  add_executable(bench_tk_picker ${CMAKE_CURRENT_LIST_DIR}/bench_tk_picker.cpp)
  target_link_libraries(bench_tk_picker PRIVATE tav qel6kwi qel6kernel user32 gdi32)
endif()
