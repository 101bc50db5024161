# The maker's library's benchmarks: the page writer against Python, the time
# helpers against the C runtime.
if(TARGET rizediveva6)
  foreach(b html time)
    add_executable(bench_doc_${b} ${CMAKE_CURRENT_LIST_DIR}/bench_doc_${b}.cpp)
    target_link_libraries(bench_doc_${b} PRIVATE rizediveva6)
  endforeach()
  target_compile_definitions(bench_doc_html PRIVATE RZ_BENCH_DIR="${CMAKE_CURRENT_LIST_DIR}")
endif()

# The document store against SQLite (the amalgamation of the chain
# database's benchmark).
if(TARGET rizediveva6 AND TARGET bench_sqlite3)
  foreach(b lists store)
    add_executable(bench_doc_${b} ${CMAKE_CURRENT_LIST_DIR}/bench_doc_${b}.cpp)
    target_link_libraries(bench_doc_${b} PRIVATE rizediveva6 bench_sqlite3)
  endforeach()
endif()

# The drawing package against the GUI layer and raw GDI.
if(TARGET rizediveva6)
  add_executable(bench_wyn ${CMAKE_CURRENT_LIST_DIR}/bench_wyn.cpp)
  target_link_libraries(bench_wyn PRIVATE rizediveva6 gdi32 user32)
endif()
