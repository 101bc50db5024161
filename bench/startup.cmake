# The program's start-up against a one-window program.
add_executable(bench_startup_bare WIN32 ${CMAKE_CURRENT_LIST_DIR}/bench_startup_bare.cpp)
target_link_options(bench_startup_bare PRIVATE -municode)
add_executable(bench_startup ${CMAKE_CURRENT_LIST_DIR}/bench_startup.cpp)
target_link_libraries(bench_startup PRIVATE comctl32 user32)
add_dependencies(bench_startup bench_startup_bare kalmoraTessaro)
