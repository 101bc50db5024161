# The image bases of the project's DLLs: one 16 MiB slot each, above the
# bases of Wine's own DLLs and of MinGW's automatic ones (all below
# 0x400000000, where qel6run.dll's automatic base fell on gdi32.dll), so that
# the loader never relocates one of them at start.
set(kalmora_image_bases
    qel6kernel 0x500000000 qel6run 0x501000000 qel6kwi 0x502000000 qel6edit 0x503000000
    qel6chaindb 0x504000000 qel6regexp 0x505000000 qel6res 0x506000000 qel6odbcbind 0x507000000)

# kalmora_split_debug(<target>): after the link, the debug information moves
# to <file>.debug beside the binary, which keeps a link to it (gdb finds it
# there).  Wine reads the sections of an image whose file offsets are not
# page-aligned into memory when it loads it; the debug sections were most of
# each file.
function(kalmora_split_debug target)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:${target}> $<TARGET_FILE:${target}>.debug
    COMMAND ${CMAKE_OBJCOPY} --strip-debug --add-gnu-debuglink=$<TARGET_FILE:${target}>.debug
            $<TARGET_FILE:${target}>
    VERBATIM)
endfunction()

# kalmora_add_dll(<name> EXPORTS <export list file> SOURCES <files...>
#                 [PARTS <object libraries...>] [DEPENDS <libraries...>])
# Builds <name>.dll from its sources and the objects of PARTS (the module's
# other folders), with the module's include/ public and src/ private,
# <NAME>_BUILD defined while compiling it, and DEPENDS linked publicly.  The
# .def file that pins its exports is generated from all those objects: the
# symbols whose qualified names stand in the export list, nothing else.  A
# test checks the built DLL against the list.  Each DLL has a fixed image
# base of its own (kalmora_image_bases) and its debug information beside it.
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
  list(FIND kalmora_image_bases ${name} at)
  if(at LESS 0)
    message(FATAL_ERROR "${name} has no image base in kalmora_image_bases")
  endif()
  math(EXPR at "${at} + 1")
  list(GET kalmora_image_bases ${at} base)
  target_link_options(${name} PRIVATE -Wl,--image-base=${base})
  kalmora_split_debug(${name})
  foreach(t ${name}_objects ${name})
    target_include_directories(${t} PUBLIC include PRIVATE src)
    target_link_libraries(${t} PUBLIC ${D_DEPENDS})
  endforeach()
  add_test(NAME exports_${name}
           COMMAND bash ${PROJECT_SOURCE_DIR}/tools/check-exports.sh
                   $<TARGET_FILE:${name}> ${def} ${list})
endfunction()
