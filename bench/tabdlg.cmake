# The tab dialog class against comctl32's tab control.
if(TARGET tav)
  add_executable(bench_tk_tabdlg ${CMAKE_CURRENT_LIST_DIR}/bench_tk_tabdlg.cpp)
  target_link_libraries(bench_tk_tabdlg PRIVATE tav qel6kwi qel6kernel comctl32 user32 gdi32)
endif()
