# kalmora_add_dll(<name> EXPORTS <export list file> SOURCES <files...>
#                 [PARTS <object libraries...>] [DEPENDS <libraries...>])
# Builds <name>.dll from its sources and the objects of PARTS (the module's
# other folders), with the module's include/ public and src/ private,
# <NAME>_BUILD defined while compiling it, and DEPENDS linked publicly.  The
# .def file that pins its exports is generated from all those objects: the
# symbols whose qualified names stand in the export list, nothing else.  A
# test checks the built DLL against the list.
function(kalmora_add_dll name)
  cmake_parse_arguments(D "" "EXPORTS" "SOURCES;PARTS;DEPENDS" ${ARGN})
  add_library(${name}_objects OBJECT ${D_SOURCES})
  string(TOUPPER "${name}_BUILD" build_macro)
  target_compile_definitions(${name}_objects PRIVATE ${build_macro})
  set(def ${CMAKE_CURRENT_BINARY_DIR}/${name}.def)
  set(list ${CMAKE_CURRENT_SOURCE_DIR}/${D_EXPORTS})
  set(objects $<TARGET_OBJECTS:${name}_objects>)
  foreach(part ${D_PARTS})
    list(APPEND objects $<TARGET_OBJECTS:${part}>)
  endforeach()
  add_custom_command(
    OUTPUT ${def}
    COMMAND ${PROJECT_SOURCE_DIR}/tools/gen-def.sh ${def} ${name}.dll ${list} ${objects}
    DEPENDS ${name}_objects ${D_PARTS} ${objects} ${list} ${PROJECT_SOURCE_DIR}/tools/gen-def.sh
    COMMAND_EXPAND_LISTS VERBATIM)
  add_library(${name} SHARED $<TARGET_OBJECTS:${name}_objects> ${def})
  foreach(t ${name}_objects ${name})
    target_include_directories(${t} PUBLIC include PRIVATE src)
    target_link_libraries(${t} PUBLIC ${D_DEPENDS})
  endforeach()
  add_test(NAME exports_${name}
           COMMAND bash ${PROJECT_SOURCE_DIR}/tools/check-exports.sh
                   $<TARGET_FILE:${name}> ${def} ${list})
endfunction()
