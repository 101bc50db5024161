# The common part of the stand-alone builds in run/lib/dev and run/db/dev:
# compiler and output settings, the collector and googletest from the bootstrap cache,
# the module helpers, the test harness and the kernel.  Included right after
# the including build's project().
get_filename_component(root ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)

set(KALMORA_CACHE "$ENV{HOME}/.cache/kalmoraTessaro" CACHE PATH "bootstrap cache")
set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib)
set(CMAKE_SHARED_LIBRARY_PREFIX "")
add_compile_options(-Wall -Wextra -Wno-unused-parameter
                    $<$<COMPILE_LANGUAGE:CXX>:-fno-strict-aliasing>)
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00)
add_link_options(-static-libgcc -static-libstdc++ -static)

add_library(bdwgc SHARED IMPORTED GLOBAL)
set_target_properties(bdwgc PROPERTIES
  IMPORTED_LOCATION ${KALMORA_CACHE}/bdwgc/bin/libgc-1.dll
  IMPORTED_IMPLIB ${KALMORA_CACHE}/bdwgc/lib/libgc.dll.a
  INTERFACE_INCLUDE_DIRECTORIES ${KALMORA_CACHE}/bdwgc/include
  INTERFACE_COMPILE_DEFINITIONS "GC_DLL;GC_WIN32_THREADS")
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
file(COPY ${KALMORA_CACHE}/bdwgc/bin/libgc-1.dll DESTINATION ${CMAKE_BINARY_DIR}/bin)
add_library(gtest STATIC IMPORTED GLOBAL)
set_target_properties(gtest PROPERTIES
  IMPORTED_LOCATION ${KALMORA_CACHE}/googletest/lib/libgtest.a
  INTERFACE_INCLUDE_DIRECTORIES ${KALMORA_CACHE}/googletest/include)

set(PROJECT_SOURCE_DIR ${root})
include(${root}/cmake/modules.cmake)
enable_testing()
add_subdirectory(${root}/testing testing)
add_subdirectory(${root}/kernel kernel)
