# The module processes' tests run the build's module host with the isolation tests' stand-ins.
foreach(test isolation_lifecheck_test isolation_spares_test)
  if(TARGET ${label}_${test})
    add_dependencies(${label}_${test} kestrix-module
      kestrix_test_isolatedhanging_plugin kestrix_test_isolatedtimerthrowing_plugin
      kestrix_test_isolatedtyping_plugin)
    target_compile_definitions(${label}_${test} PRIVATE
      KESTRIX_ISOLATION_PLUGIN_DIR="${KESTRIX_ISOLATION_PLUGIN_DIR}"
      KESTRIX_MODULE_HOST="$<TARGET_FILE:kestrix-module>")
  endif()
endforeach()
