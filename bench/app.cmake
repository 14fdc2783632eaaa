# The start-up benchmark starts the shell and a minimal Qt window program as whole processes.
add_executable(minimal_window minimal_window.cpp)
target_link_libraries(minimal_window PRIVATE Qt6::Widgets)
kestrix_target_defaults(minimal_window)
set_target_properties(minimal_window PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
if(TARGET app_startup_bench)
  target_compile_definitions(app_startup_bench PRIVATE
    KESTRIX_BENCH_PROGRAM_DIR="${CMAKE_BINARY_DIR}/${KESTRIX_PROGRAM_DIR}"
    KESTRIX_BENCH_DIR="${CMAKE_BINARY_DIR}/bench")
  add_dependencies(app_startup_bench minimal_window kestrix kestrix-hmi holvig_scrollbar)
endif()
