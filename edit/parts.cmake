# The editor's search engine, Change All, dialog histories, hyper-field
# markup and text utilities, built and tested without windows.
add_library(edit_parts_objects OBJECT
  ${CMAKE_CURRENT_LIST_DIR}/src/search.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/changeall.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/history.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/hyper.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/textutil.cpp)
target_include_directories(edit_parts_objects PUBLIC ${CMAKE_CURRENT_LIST_DIR}/src)
target_link_libraries(edit_parts_objects PUBLIC qel6regexp)

kalmora_add_test(edit_parts_tests
                 ${CMAKE_CURRENT_LIST_DIR}/tests/test_search.cpp
                 ${CMAKE_CURRENT_LIST_DIR}/tests/test_textparts.cpp
                 LIBS edit_parts_objects qel6regexp user32)
