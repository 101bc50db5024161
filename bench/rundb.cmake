# Benchmark of binary images and fact databases against SWI-Prolog's assert,
# retract and findall; built once run/db is part of the build.
if(TARGET qel6run_db AND EXISTS ${CMAKE_CURRENT_LIST_DIR}/bench_rundb.cpp)
  add_executable(bench_rundb ${CMAKE_CURRENT_LIST_DIR}/bench_rundb.cpp)
  target_link_libraries(bench_rundb PRIVATE qel6run qel6kernel)
endif()
