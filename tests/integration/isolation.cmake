# The module processes' tests run the build's module host with the isolation tests' stand-ins.
if(TARGET ${label}_isolation_lifecheck_test)
  add_dependencies(${label}_isolation_lifecheck_test kestrix-module
    kestrix_test_isolatedhanging_plugin kestrix_test_isolatedtimerthrowing_plugin)
  target_compile_definitions(${label}_isolation_lifecheck_test PRIVATE
    KESTRIX_ISOLATION_PLUGIN_DIR="${KESTRIX_ISOLATION_PLUGIN_DIR}"
    KESTRIX_MODULE_HOST="$<TARGET_FILE:kestrix-module>")
endif()
