# Editor search: plain and regular-expression search of a 10 MB text, and a
# regular-expression Change All of 10,000 matches.
add_executable(bench_edit_search ${CMAKE_CURRENT_LIST_DIR}/bench_edit_search.cpp
               $<TARGET_OBJECTS:qel6edit_objects>)
target_include_directories(bench_edit_search PRIVATE ${PROJECT_SOURCE_DIR}/edit/src
                           ${PROJECT_SOURCE_DIR}/edit/include)
# Scintilla, the peer, where `tools/bootstrap.sh bench` builds it.
target_compile_definitions(bench_edit_search PRIVATE QEL6EDIT_BUILD
                           "KALMORA_SCINTILLA_DLL=\"${KALMORA_CACHE}/scintilla/bin/Scintilla.dll\"")
target_link_libraries(bench_edit_search PRIVATE qel6kwi qel6kernel qel6regexp user32 gdi32)
