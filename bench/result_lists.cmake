# The assignments, unassigned duties and documents lists and the scan for
# documents against plain Win32 peers.
if(TARGET kalmora_all)
  add_executable(bench_result_lists ${CMAKE_CURRENT_LIST_DIR}/bench_result_lists.cpp
                 ${CMAKE_SOURCE_DIR}/app/all/tests/roster_fixture.cpp ${CMAKE_SOURCE_DIR}/app/all/tests/roster_generator.cpp
                 ${CMAKE_SOURCE_DIR}/app/all/liboxes/liboxes.rc)
  target_include_directories(bench_result_lists PRIVATE ${CMAKE_SOURCE_DIR}/app/all/tests)
  target_link_libraries(bench_result_lists PRIVATE kalmora_all all_comtree_recorder)
endif()
