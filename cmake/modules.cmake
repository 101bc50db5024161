# kalmora_add_dll(<name> EXPORTS <regex of decorated-name prefixes>
#                 SOURCES <files...> [DEPENDS <libraries...>])
# Builds <name>.dll from its sources, with the module's include/ public and
# src/ private, <NAME>_BUILD defined while compiling it, and DEPENDS linked
# publicly.  The .def file that pins its exports is generated from the
# objects: every symbol defined in the module's public namespaces (internals
# live in a `detail` namespace and stay hidden).
function(kalmora_add_dll name)
  cmake_parse_arguments(D "" "EXPORTS" "SOURCES;DEPENDS" ${ARGN})
  add_library(${name}_objects OBJECT ${D_SOURCES})
  string(TOUPPER "${name}_BUILD" build_macro)
  target_compile_definitions(${name}_objects PRIVATE ${build_macro})
  set(def ${CMAKE_CURRENT_BINARY_DIR}/${name}.def)
  add_custom_command(
    OUTPUT ${def}
    COMMAND ${PROJECT_SOURCE_DIR}/tools/gen-def.sh ${def} ${name}.dll "${D_EXPORTS}"
            $<TARGET_OBJECTS:${name}_objects>
    DEPENDS ${name}_objects $<TARGET_OBJECTS:${name}_objects>
    COMMAND_EXPAND_LISTS VERBATIM)
  add_library(${name} SHARED $<TARGET_OBJECTS:${name}_objects> ${def})
  foreach(t ${name}_objects ${name})
    target_include_directories(${t} PUBLIC include PRIVATE src)
    target_link_libraries(${t} PUBLIC ${D_DEPENDS})
  endforeach()
endfunction()
