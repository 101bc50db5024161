# Benchmark of the resource writer against windres compiling the equivalent
# script to a resource file.
add_executable(bench_res ${CMAKE_CURRENT_LIST_DIR}/bench_res.cpp)
target_link_libraries(bench_res PRIVATE qel6res qel6kwi qel6kernel)
target_include_directories(bench_res PRIVATE ${PROJECT_SOURCE_DIR}/res/tests ${PROJECT_SOURCE_DIR}/kwi/tests)

# The host fuzz target over the reader's parsers (clang's libFuzzer with
# AddressSanitizer); bench_res runs it for a fixed time.  Built only when the
# host has clang++, and skipped without failing the build where it lacks
# libFuzzer.
find_program(RES_HOST_CLANGXX NAMES clang++ clang++-14)
if(RES_HOST_CLANGXX)
  set(res_fuzzer ${CMAKE_BINARY_DIR}/host/res_fuzz_reader)
  add_custom_command(OUTPUT ${res_fuzzer}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/host
    COMMAND sh -c "${RES_HOST_CLANGXX} -std=c++20 -O1 -g -fsanitize=fuzzer,address -I${PROJECT_SOURCE_DIR}/res/src ${PROJECT_SOURCE_DIR}/res/src/reader_core.cpp ${PROJECT_SOURCE_DIR}/res/tests/fuzz_reader.cpp -o ${res_fuzzer} || touch ${res_fuzzer}"
    DEPENDS ${PROJECT_SOURCE_DIR}/res/src/reader_core.cpp ${PROJECT_SOURCE_DIR}/res/src/reader_core.h
            ${PROJECT_SOURCE_DIR}/res/tests/fuzz_reader.cpp
    VERBATIM)
  add_custom_target(res_fuzz_reader DEPENDS ${res_fuzzer})
  add_dependencies(bench_res res_fuzz_reader)
  target_compile_definitions(bench_res PRIVATE RES_FUZZER="${res_fuzzer}")
endif()
