# Editor control: the text store (loading, line lookup) and its windows
# against Scintilla, whose DLL `tools/bootstrap.sh bench` builds into the
# cache; the benchmark looks for it there when it runs.
add_executable(bench_edit ${CMAKE_CURRENT_LIST_DIR}/bench_edit.cpp $<TARGET_OBJECTS:qel6edit_objects>)
target_include_directories(bench_edit PRIVATE ${PROJECT_SOURCE_DIR}/edit/src ${PROJECT_SOURCE_DIR}/edit/include)
target_compile_definitions(bench_edit PRIVATE QEL6EDIT_BUILD
                           "KALMORA_SCINTILLA_DLL=\"${KALMORA_CACHE}/scintilla/bin/Scintilla.dll\"")
target_link_libraries(bench_edit PRIVATE qel6kwi qel6kernel qel6regexp user32 gdi32)

# Colouring: the lexer, keyword lookups and paint runs.
add_executable(bench_edit_colour ${CMAKE_CURRENT_LIST_DIR}/bench_edit_colour.cpp $<TARGET_OBJECTS:qel6edit_objects>)
target_include_directories(bench_edit_colour PRIVATE ${PROJECT_SOURCE_DIR}/edit/src ${PROJECT_SOURCE_DIR}/edit/include)
target_compile_definitions(bench_edit_colour PRIVATE QEL6EDIT_BUILD)
target_link_libraries(bench_edit_colour PRIVATE qel6kwi qel6kernel qel6regexp user32 gdi32)
