# The end-to-end tests run the programs and plug-ins of this build.
foreach(target e2e_app_startup_test e2e_app_line_test e2e_app_layout_test e2e_app_storm_test
    e2e_app_soak_test e2e_app_isolation_test e2e_app_wayland_test)
  if(TARGET ${target})
    add_dependencies(${target} kestrix kestrix-hmi kestrix-module kestrix-watched-window
      holvig_scrollbar)
    foreach(kind ${KESTRIX_MODULE_KIND_FOLDERS})
      add_dependencies(${target} kestrix_module_${kind})
    endforeach()
  endif()
endforeach()
# The storms put the event-storm test module into a line in the OCR module's place, the ends while
# the modules start the slow-starting one in the hot-melt tank's.
if(TARGET e2e_app_storm_test AND TARGET kestrix_test_eventstorm_plugin)
  add_dependencies(e2e_app_storm_test kestrix_test_eventstorm_plugin kestrix_test_slowstart_plugin)
  target_compile_definitions(e2e_app_storm_test PRIVATE
    KESTRIX_EVENTSTORM_PLUGIN="${KESTRIX_STANDIN_PLUGIN_DIR}/kestrix_test_eventstorm_plugin.so"
    KESTRIX_SLOWSTART_PLUGIN="${KESTRIX_STANDIN_PLUGIN_DIR}/kestrix_test_slowstart_plugin.so")
endif()
# The lines whose modules misbehave, in processes of their own or in the shell's.
foreach(target e2e_app_isolation_test e2e_app_soak_test)
  if(TARGET ${target})
    foreach(standin ${KESTRIX_ISOLATION_STANDINS})
      string(REGEX REPLACE ":.*" "" control "${standin}")
      string(TOLOWER ${control} name)
      add_dependencies(${target} kestrix_test_isolated${name}_plugin)
    endforeach()
    target_compile_definitions(${target} PRIVATE
      KESTRIX_ISOLATION_PLUGIN_DIR="${KESTRIX_ISOLATION_PLUGIN_DIR}")
  endif()
endforeach()
