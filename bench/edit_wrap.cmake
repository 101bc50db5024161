# Word-wrapping editor windows: pasting a large text, typing inside a long
# logical line and inside a long text, each keystroke painted.
add_executable(bench_edit_wrap ${CMAKE_CURRENT_LIST_DIR}/bench_edit_wrap.cpp)
target_include_directories(bench_edit_wrap PRIVATE ${PROJECT_SOURCE_DIR}/edit/include)
# Scintilla, the peer, where `tools/bootstrap.sh bench` builds it.
target_compile_definitions(bench_edit_wrap PRIVATE
                           "KALMORA_SCINTILLA_DLL=\"${KALMORA_CACHE}/scintilla/bin/Scintilla.dll\"")
target_link_libraries(bench_edit_wrap PRIVATE qel6edit qel6kwi qel6kernel user32 gdi32)
