# The line as a systemd service: the end-to-end test runs the build's shell with the crashing
# stand-in in the OCR module's place, and its journal test runs the shell under a journald of its
# own (private-journal).
if(TARGET e2e_app_service_test)
  add_dependencies(e2e_app_service_test kestrix kestrix-hmi kestrix-module kestrix-watched-window
    holvig_scrollbar kestrix_test_isolatedcrashing_plugin
    kestrix_test_isolatedthreademitting_plugin)
  foreach(kind ${KESTRIX_MODULE_KIND_FOLDERS})
    add_dependencies(e2e_app_service_test kestrix_module_${kind})
  endforeach()
  target_compile_definitions(e2e_app_service_test PRIVATE
    KESTRIX_ISOLATION_PLUGIN_DIR="${KESTRIX_ISOLATION_PLUGIN_DIR}"
    KESTRIX_PRIVATE_JOURNAL="${CMAKE_CURRENT_SOURCE_DIR}/e2e/private-journal")
endif()

# The unit file as the package installs it, with the build's shell as its program, passes the
# service manager's own check (skipped where systemd-analyze is missing).
set(KESTRIX_SHELL_PROGRAM "${CMAKE_BINARY_DIR}/${KESTRIX_PROGRAM_DIR}/kestrix")
configure_file("${CMAKE_SOURCE_DIR}/packaging/kestrix.service"
  "${CMAKE_BINARY_DIR}/tests/service/kestrix.service" @ONLY)
add_test(NAME e2e.ServiceUnit.PassesSystemdAnalyzeVerify
  COMMAND sh -c "command -v systemd-analyze >/dev/null || exit 77
    exec systemd-analyze --man=no verify \"$0\"" "${CMAKE_BINARY_DIR}/tests/service/kestrix.service")
set_tests_properties(e2e.ServiceUnit.PassesSystemdAnalyzeVerify PROPERTIES
  SKIP_RETURN_CODE 77 LABELS e2e)
