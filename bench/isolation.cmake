# The isolation benchmark runs the module host program of this build with the line's real
# plug-ins, starts minimal window programs as its floor, and raises events from a module of its
# own, built into a folder of its own and never installed.
set(isolation_bench_plugin_dir "${CMAKE_BINARY_DIR}/bench/plugins")
kestrix_add_control_plugin(kestrix_bench_echo_plugin PROGID KestrixBench.Echo
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/echo_module_plugin.cpp NO_INSTALL)
set_target_properties(kestrix_bench_echo_plugin PROPERTIES
  LIBRARY_OUTPUT_DIRECTORY ${isolation_bench_plugin_dir})
kestrix_target_defaults(kestrix_bench_echo_plugin)

if(TARGET isolation_bench)
  target_include_directories(isolation_bench PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}
    ${CMAKE_SOURCE_DIR}/tests/support)
  target_compile_definitions(isolation_bench PRIVATE
    KESTRIX_BENCH_PLUGIN_DIR="${CMAKE_BINARY_DIR}/${KESTRIX_PLUGIN_DIR}"
    KESTRIX_BENCH_PROGRAM_DIR="${CMAKE_BINARY_DIR}/${KESTRIX_PROGRAM_DIR}"
    KESTRIX_BENCH_DIR="${CMAKE_BINARY_DIR}/bench"
    KESTRIX_BENCH_ECHO_PLUGIN_DIR="${isolation_bench_plugin_dir}")
  add_dependencies(isolation_bench kestrix-module minimal_window kestrix_bench_echo_plugin)
  foreach(folder ${KESTRIX_MODULE_KIND_FOLDERS})
    add_dependencies(isolation_bench kestrix_module_${folder})
  endforeach()
endif()
