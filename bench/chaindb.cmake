# Benchmark of the chain database against SQLite (the amalgamation that
# tools/bootstrap.sh makes from Debian's sqlite3 source) and LMDB (Debian's
# lmdb source, built by the bootstrap), in one process.
set(sqlite_dir ${KALMORA_CACHE}/build/sqlite3)
set(lmdb_dir ${KALMORA_CACHE}/lmdb)
if(EXISTS ${sqlite_dir}/sqlite3.c AND EXISTS ${lmdb_dir}/lib/liblmdb.a)
  add_library(bench_sqlite3 STATIC ${sqlite_dir}/sqlite3.c)
  target_include_directories(bench_sqlite3 PUBLIC ${sqlite_dir})
  target_compile_definitions(bench_sqlite3 PRIVATE SQLITE_THREADSAFE=0 SQLITE_OMIT_LOAD_EXTENSION)
  target_compile_options(bench_sqlite3 PRIVATE -w -O2)
  add_library(bench_lmdb STATIC IMPORTED)
  set_target_properties(bench_lmdb PROPERTIES
    IMPORTED_LOCATION ${lmdb_dir}/lib/liblmdb.a
    INTERFACE_INCLUDE_DIRECTORIES ${lmdb_dir}/include)
  add_executable(bench_chaindb ${CMAKE_CURRENT_LIST_DIR}/bench_chaindb.cpp)
  target_link_libraries(bench_chaindb PRIVATE qel6chaindb qel6run qel6kernel bench_sqlite3 bench_lmdb)
endif()
