# The editor's search engine and Change All, built and tested without windows.
add_library(edit_search_objects OBJECT
  ${CMAKE_CURRENT_LIST_DIR}/src/search.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/changeall.cpp)
target_include_directories(edit_search_objects PUBLIC ${CMAKE_CURRENT_LIST_DIR}/src)
target_link_libraries(edit_search_objects PUBLIC qel6regexp)

kalmora_add_test(edit_search_tests ${CMAKE_CURRENT_LIST_DIR}/tests/test_search.cpp
                 LIBS edit_search_objects qel6regexp user32)
