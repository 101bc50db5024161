# Benchmark of the runtime's CRC-32 and binary codec against zlib and
# compress(1).  zlib for the target comes with `make bench`.
add_executable(bench_runlib_crc_codec ${CMAKE_CURRENT_LIST_DIR}/bench_runlib_crc_codec.cpp)
target_link_libraries(bench_runlib_crc_codec PRIVATE qel6run_lib qel6kernel)
target_include_directories(bench_runlib_crc_codec PRIVATE ${PROJECT_SOURCE_DIR}/run/lib)
find_library(RUNLIB_ZLIB NAMES libz.a z)
find_path(RUNLIB_ZLIB_INCLUDE zlib.h)
if(RUNLIB_ZLIB AND RUNLIB_ZLIB_INCLUDE)
  target_compile_definitions(bench_runlib_crc_codec PRIVATE HAVE_ZLIB)
  target_include_directories(bench_runlib_crc_codec PRIVATE ${RUNLIB_ZLIB_INCLUDE})
  target_link_libraries(bench_runlib_crc_codec PRIVATE ${RUNLIB_ZLIB})
endif()
