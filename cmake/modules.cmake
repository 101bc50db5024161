# kalmora_add_dll(<name> EXPORTS <regex of decorated-name prefixes>
#                 SOURCES <files...>)
# Builds <name>.dll from its sources.  The .def file that pins its exports is
# generated from the objects: every symbol defined in the module's public
# namespaces (internals live in a `detail` namespace and stay hidden).
function(kalmora_add_dll name)
  cmake_parse_arguments(D "" "EXPORTS" "SOURCES" ${ARGN})
  add_library(${name}_objects OBJECT ${D_SOURCES})
  set(def ${CMAKE_CURRENT_BINARY_DIR}/${name}.def)
  add_custom_command(
    OUTPUT ${def}
    COMMAND ${PROJECT_SOURCE_DIR}/tools/gen-def.sh ${def} ${name}.dll "${D_EXPORTS}"
            $<TARGET_OBJECTS:${name}_objects>
    DEPENDS ${name}_objects $<TARGET_OBJECTS:${name}_objects>
    COMMAND_EXPAND_LISTS VERBATIM)
  add_library(${name} SHARED $<TARGET_OBJECTS:${name}_objects> ${def})
endfunction()
