# The class library's benchmarks.
if(TARGET tav)
  foreach(b exceptions strings streams dump files)
    add_executable(bench_tav_${b} ${CMAKE_CURRENT_LIST_DIR}/bench_tav_${b}.cpp)
    target_link_libraries(bench_tav_${b} PRIVATE tav)
  endforeach()
  add_executable(bench_tav_time ${CMAKE_CURRENT_LIST_DIR}/bench_tav_time.cpp)
  target_link_libraries(bench_tav_time PRIVATE tav)
  target_compile_definitions(bench_tav_time PRIVATE TAV_BENCH_DIR="${CMAKE_CURRENT_LIST_DIR}")
  # The start-to-exit reference and the child that runs mainExe::run.
  add_executable(tav_bare ${CMAKE_CURRENT_LIST_DIR}/tav_bare.cpp)
  add_dependencies(bench_tav_dump tav_bare tav_child)
endif()
