# The data-entry dialog class against dialogs built from an in-memory template.
if(TARGET tav)
  add_executable(bench_kwi_dialog ${CMAKE_CURRENT_LIST_DIR}/bench_kwi_dialog.cpp)
  target_link_libraries(bench_kwi_dialog PRIVATE tav qel6kwi qel6kernel user32 gdi32)
endif()
