# The message window against Scintilla (the editor benchmarks' peer).
if(TARGET tav)
  add_executable(bench_tk_message ${CMAKE_CURRENT_LIST_DIR}/bench_tk_message.cpp)
  target_link_libraries(bench_tk_message PRIVATE tav qel6kwi qel6edit qel6kernel user32 gdi32)
  target_compile_definitions(bench_tk_message PRIVATE
                             "KALMORA_SCINTILLA_DLL=\"${KALMORA_CACHE}/scintilla/bin/Scintilla.dll\"")
endif()
