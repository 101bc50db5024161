# The debugger's memory provider and view, against a child process.  The
# test program loads the runtime itself (relocated), so it does not link it.
add_executable(debug_child ${CMAKE_CURRENT_LIST_DIR}/debug_child.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../db/tests/db_unit.cpp)
target_include_directories(debug_child PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../db/tests ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(debug_child PRIVATE qel6run qel6kernel)
kalmora_add_test(run_debug_tests ${CMAKE_CURRENT_LIST_DIR}/test_debugger.cpp LIBS qel6kernel)
target_include_directories(run_debug_tests PRIVATE $<TARGET_PROPERTY:qel6run,INTERFACE_INCLUDE_DIRECTORIES>)
add_dependencies(run_debug_tests debug_child qel6run)
