# Text forms, stream buffer, term text parser, unification.
kalmora_add_test(run_text_tests
  ${CMAKE_CURRENT_LIST_DIR}/example_unit.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_reals.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_unify.cpp
  ${CMAKE_CURRENT_LIST_DIR}/unify_harness.S
  LIBS qel6run qel6kernel)
# The real-number test runs real_cases.py from this folder.
target_compile_definitions(run_text_tests PRIVATE RUN_TESTS_DIR="${CMAKE_CURRENT_LIST_DIR}")
