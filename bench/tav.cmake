# The class library's benchmarks.
if(TARGET tav)
  foreach(b exceptions strings)
    add_executable(bench_tav_${b} ${CMAKE_CURRENT_LIST_DIR}/bench_tav_${b}.cpp)
    target_link_libraries(bench_tav_${b} PRIVATE tav)
  endforeach()
endif()
