# Editor search: plain and regular-expression search of a 10 MB text, and a
# regular-expression Change All of 10,000 matches.
add_executable(bench_edit_search ${CMAKE_CURRENT_LIST_DIR}/bench_edit_search.cpp)
target_link_libraries(bench_edit_search PRIVATE edit_parts_objects qel6regexp user32)
