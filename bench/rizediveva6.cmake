# The maker's library's benchmarks: the page writer against Python, the time
# helpers against the C runtime, the options file against configparser.
if(TARGET rizediveva6)
  foreach(b html time options)
    add_executable(bench_doc_${b} ${CMAKE_CURRENT_LIST_DIR}/bench_doc_${b}.cpp)
    target_link_libraries(bench_doc_${b} PRIVATE rizediveva6)
  endforeach()
  foreach(b html options)
    target_compile_definitions(bench_doc_${b} PRIVATE RZ_BENCH_DIR="${CMAKE_CURRENT_LIST_DIR}")
  endforeach()
endif()

# The document store against SQLite (the amalgamation of the chain
# database's benchmark).
if(TARGET rizediveva6 AND TARGET bench_sqlite3)
  foreach(b lists store)
    add_executable(bench_doc_${b} ${CMAKE_CURRENT_LIST_DIR}/bench_doc_${b}.cpp)
    target_link_libraries(bench_doc_${b} PRIVATE rizediveva6 bench_sqlite3)
  endforeach()
endif()

# The roster's duty index against SQLite, on documents of the roster
# fixture builder.
if(TARGET kalmora_all AND TARGET bench_sqlite3)
  add_executable(bench_roster ${CMAKE_CURRENT_LIST_DIR}/bench_roster.cpp
                 ${CMAKE_SOURCE_DIR}/app/all/tests/roster_fixture.cpp)
  target_include_directories(bench_roster PRIVATE ${CMAKE_SOURCE_DIR}/app/all/tests)
  target_link_libraries(bench_roster PRIVATE kalmora_all all_comtree_recorder bench_sqlite3)
  # The statistics recount against SQLite's GROUP BY, on a generated roster.
  add_executable(bench_totals ${CMAKE_CURRENT_LIST_DIR}/bench_totals.cpp
                 ${CMAKE_SOURCE_DIR}/app/all/tests/roster_fixture.cpp ${CMAKE_SOURCE_DIR}/app/all/tests/roster_generator.cpp)
  target_include_directories(bench_totals PRIVATE ${CMAKE_SOURCE_DIR}/app/all/tests)
  target_link_libraries(bench_totals PRIVATE kalmora_all all_comtree_recorder bench_sqlite3)
  # The statistics table's recalculation against SQLite's GROUP BY and snprintf.
  add_executable(bench_stats_tab ${CMAKE_CURRENT_LIST_DIR}/bench_stats_tab.cpp
                 ${CMAKE_SOURCE_DIR}/app/all/tests/roster_fixture.cpp ${CMAKE_SOURCE_DIR}/app/all/tests/roster_generator.cpp
                 ${CMAKE_SOURCE_DIR}/app/all/liboxes/liboxes.rc)
  target_include_directories(bench_stats_tab PRIVATE ${CMAKE_SOURCE_DIR}/app/all/tests)
  target_link_libraries(bench_stats_tab PRIVATE kalmora_all all_comtree_recorder bench_sqlite3)
  # The input lists against an owner-drawn LISTBOX and SetClipboardData.
  add_executable(bench_lists ${CMAKE_CURRENT_LIST_DIR}/bench_lists.cpp
                 ${CMAKE_SOURCE_DIR}/app/all/tests/roster_fixture.cpp ${CMAKE_SOURCE_DIR}/app/all/tests/roster_generator.cpp
                 ${CMAKE_SOURCE_DIR}/app/all/liboxes/liboxes.rc)
  target_include_directories(bench_lists PRIVATE ${CMAKE_SOURCE_DIR}/app/all/tests)
  target_link_libraries(bench_lists PRIVATE kalmora_all all_comtree_recorder)
endif()

# The assignment gate's checks against a plain C++ model of them.
if(TARGET kalmora_all)
  add_executable(bench_assign_checks ${CMAKE_CURRENT_LIST_DIR}/bench_assign_checks.cpp
                 ${CMAKE_SOURCE_DIR}/app/all/tests/roster_fixture.cpp ${CMAKE_SOURCE_DIR}/app/all/tests/roster_generator.cpp)
  target_include_directories(bench_assign_checks PRIVATE ${CMAKE_SOURCE_DIR}/app/all/tests)
  target_link_libraries(bench_assign_checks PRIVATE kalmora_all all_comtree_recorder)
endif()

# The assignment gate's clears, repairs and checks over 10,000 assignments.
if(TARGET kalmora_all)
  add_executable(bench_gate ${CMAKE_CURRENT_LIST_DIR}/bench_gate.cpp ${CMAKE_SOURCE_DIR}/app/all/tests/roster_fixture.cpp)
  target_include_directories(bench_gate PRIVATE ${CMAKE_SOURCE_DIR}/app/all/tests)
  target_link_libraries(bench_gate PRIVATE kalmora_all all_comtree_recorder)
endif()

# The drawing package against the GUI layer and raw GDI.
if(TARGET rizediveva6)
  add_executable(bench_wyn ${CMAKE_CURRENT_LIST_DIR}/bench_wyn.cpp)
  target_link_libraries(bench_wyn PRIVATE rizediveva6 gdi32 user32)
endif()

# The list box's line store against a report-mode ListView.
if(TARGET rizediveva6)
  add_executable(bench_libox_store ${CMAKE_CURRENT_LIST_DIR}/bench_libox_store.cpp)
  target_link_libraries(bench_libox_store PRIVATE rizediveva6 comctl32 user32)
  # The list drawn on a window against an owner-drawn LISTBOX and a ListView.
  add_executable(bench_libox ${CMAKE_CURRENT_LIST_DIR}/bench_libox.cpp)
  target_link_libraries(bench_libox PRIVATE rizediveva6 comctl32 user32)
  # The cell editor and click selection against a ListView's label edit and
  # an owner-drawn LISTBOX.
  add_executable(bench_libox_edit ${CMAKE_CURRENT_LIST_DIR}/bench_libox_edit.cpp)
  target_link_libraries(bench_libox_edit PRIVATE rizediveva6 comctl32 user32)
endif()

# The rostering engine on generated rosters, judged by the validator.
if(TARGET kalmora_all)
  add_executable(bench_engine ${CMAKE_CURRENT_LIST_DIR}/bench_engine.cpp ${CMAKE_SOURCE_DIR}/app/all/tests/roster_fixture.cpp
                 ${CMAKE_SOURCE_DIR}/app/all/tests/roster_generator.cpp
                 ${CMAKE_SOURCE_DIR}/app/all/tests/validator/roster_validator.cpp)
  target_include_directories(bench_engine PRIVATE ${CMAKE_SOURCE_DIR}/app/all/tests
                             ${CMAKE_SOURCE_DIR}/app/all/tests/validator)
  target_link_libraries(bench_engine PRIVATE kalmora_all all_comtree_recorder kalmora_all all_comtree_recorder)
  target_compile_definitions(bench_engine PRIVATE ENGINE_BENCH_DIR="${CMAKE_CURRENT_LIST_DIR}")
endif()

# The import's read phase of a previous-version file against SQLite reading
# the same rows; the whole import beside it.
if(TARGET kalmora_all AND TARGET bench_sqlite3)
  add_executable(bench_import_km5 ${CMAKE_CURRENT_LIST_DIR}/bench_import_km5.cpp
                 ${CMAKE_SOURCE_DIR}/app/all/tests/km5_writer.cpp)
  target_include_directories(bench_import_km5 PRIVATE ${CMAKE_SOURCE_DIR}/app/all/tests)
  target_link_libraries(bench_import_km5 PRIVATE kalmora_all all_comtree_recorder kalmora_all all_comtree_recorder
                        bench_sqlite3)
endif()

# Publishing a generated roster's pages against Python writing the same bytes.
if(TARGET kalmora_all)
  add_executable(bench_publish ${CMAKE_CURRENT_LIST_DIR}/bench_publish.cpp ${CMAKE_SOURCE_DIR}/app/all/tests/roster_fixture.cpp
                 ${CMAKE_SOURCE_DIR}/app/all/tests/roster_generator.cpp)
  target_include_directories(bench_publish PRIVATE ${CMAKE_SOURCE_DIR}/app/all/tests)
  target_link_libraries(bench_publish PRIVATE kalmora_all all_comtree_recorder)
  target_compile_definitions(bench_publish PRIVATE KT_BENCH_DIR="${CMAKE_CURRENT_LIST_DIR}")
  # The calendar's duties layer against raw GDI painting the same cells.
  add_executable(bench_calendar ${CMAKE_CURRENT_LIST_DIR}/bench_calendar.cpp ${CMAKE_SOURCE_DIR}/app/all/tests/roster_fixture.cpp
                 ${CMAKE_SOURCE_DIR}/app/all/tests/roster_generator.cpp
                 ${CMAKE_SOURCE_DIR}/app/all/mycal/mycal.rc)
  target_include_directories(bench_calendar PRIVATE ${CMAKE_SOURCE_DIR}/app/all/tests)
  target_link_libraries(bench_calendar PRIVATE kalmora_all all_comtree_recorder gdi32 user32)
  # The command tree's whole-tree rebuild against raw tree-view inserts.
  add_executable(bench_comtree ${CMAKE_CURRENT_LIST_DIR}/bench_comtree.cpp ${CMAKE_SOURCE_DIR}/app/all/tests/roster_fixture.cpp
                 ${CMAKE_SOURCE_DIR}/app/all/commandtree/comtree.rc)
  target_include_directories(bench_comtree PRIVATE ${CMAKE_SOURCE_DIR}/app/all/tests)
  target_link_libraries(bench_comtree PRIVATE "$<LINK_GROUP:RESCAN,kalmora_all,all_comtree_recorder>" comctl32)
endif()
