# The maker's library's benchmarks: the page writer against Python, the time
# helpers against the C runtime, the options file against configparser.
if(TARGET rizediveva6)
  foreach(b html time options)
    add_executable(bench_doc_${b} ${CMAKE_CURRENT_LIST_DIR}/bench_doc_${b}.cpp)
    target_link_libraries(bench_doc_${b} PRIVATE rizediveva6)
  endforeach()
  foreach(b html options)
    target_compile_definitions(bench_doc_${b} PRIVATE RZ_BENCH_DIR="${CMAKE_CURRENT_LIST_DIR}")
  endforeach()
endif()
