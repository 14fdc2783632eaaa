# The kestrix-check test runs the real program: build it first, and tell the test where it is in
# case KESTRIX_BUILD_DIR is not in the test's environment.
if(TARGET unit_config_check_test AND TARGET kestrix-check)
  add_dependencies(unit_config_check_test kestrix-check)
  target_compile_definitions(unit_config_check_test PRIVATE
    KESTRIX_CHECK_PROGRAM="$<TARGET_FILE:kestrix-check>" KESTRIX_VERSION="${PROJECT_VERSION}")
endif()
