# The toolbar class against a comctl32 toolbar; its button image is the
# toolkit tests' bitmap resource.
if(TARGET tav)
  add_executable(bench_tk_toolbar ${CMAKE_CURRENT_LIST_DIR}/bench_tk_toolbar.cpp
                 ${PROJECT_SOURCE_DIR}/app/tav/tests/toolbar_tests.rc)
  target_include_directories(bench_tk_toolbar PRIVATE ${PROJECT_SOURCE_DIR}/app/tav/tests)
  target_link_libraries(bench_tk_toolbar PRIVATE tav comctl32 user32 gdi32)
endif()
