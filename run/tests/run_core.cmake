# The runtime core: run units, objects, domains and term operations.
foreach(unit a b c)
  add_library(run_unit_${unit} SHARED ${CMAKE_CURRENT_LIST_DIR}/unit_dll.cpp)
  target_link_libraries(run_unit_${unit} PRIVATE qel6run)
endforeach()
kalmora_add_test(run_core_tests
  ${CMAKE_CURRENT_LIST_DIR}/example_unit.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_terms.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_deep.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_units.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_facts.cpp
  ${CMAKE_CURRENT_LIST_DIR}/thunk_cells.S
  LIBS qel6run qel6kernel)
add_dependencies(run_core_tests run_unit_a run_unit_b run_unit_c)
