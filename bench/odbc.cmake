# The ODBC binding against raw odbc32 calls in the same program and Python's
# sqlite3, over one file of the SQLite driver (unixODBC through Wine).
if(TARGET qel6odbcbind)
  add_executable(bench_odbc ${CMAKE_CURRENT_LIST_DIR}/bench_odbc.cpp)
  target_link_libraries(bench_odbc PRIVATE qel6odbcbind qel6kernel odbc32)
  target_compile_definitions(bench_odbc PRIVATE ODBC_BENCH_DIR="${CMAKE_CURRENT_LIST_DIR}")
endif()
