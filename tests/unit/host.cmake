# The plug-in host's tests load real plug-in libraries: small test plug-ins built with the plug-in
# SDK into a folder of their own, never into the program's plug-in folder and never installed.
set(host_test_plugin_dir "${CMAKE_BINARY_DIR}/tests/plugins")
set(host_test_plugins)
# kestrix_add_test_plugin(name source progid folder [compile definitions...])
function(kestrix_add_test_plugin name source progid folder)
  set(target kestrix_test_${name}_plugin)
  kestrix_add_control_plugin(${target} PROGID ${progid}
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/unit/plugins/${source} NO_INSTALL)
  target_compile_definitions(${target} PRIVATE ${ARGN})
  set_target_properties(${target} PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${folder})
  kestrix_target_defaults(${target})
  set(host_test_plugins ${host_test_plugins} ${target} PARENT_SCOPE)
endfunction()
kestrix_add_test_plugin(module test_module_plugin.cpp KestrixTest.Module ${host_test_plugin_dir})
kestrix_add_test_plugin(unloadable test_unloadable_plugin.cpp KestrixTest.Unloadable
  ${host_test_plugin_dir})
foreach(control Throwing Faulty Crashing Hanging)
  string(TOLOWER ${control} name)
  kestrix_add_test_plugin(${name} test_misbehaving_plugin.cpp KestrixTest.${control}
    ${host_test_plugin_dir} KESTRIX_TEST_CONTROL=${control}Module)
endforeach()
# Modules that only the test container meets, in a folder of their own.
set(checker_test_plugin_dir "${host_test_plugin_dir}/checker")
foreach(control Forging TimerThrowing Blocking ThreadEmitting)
  string(TOLOWER ${control} name)
  kestrix_add_test_plugin(${name} test_misbehaving_plugin.cpp KestrixTest.${control}
    ${checker_test_plugin_dir} KESTRIX_TEST_CONTROL=${control}Module)
endforeach()
# Modules that leave a process behind: at load, in Init, in Terminate, a daemon in Init.
foreach(at Load Init Terminate Daemon)
  string(TOLOWER ${at} name)
  kestrix_add_test_plugin(leaving${name} test_misbehaving_plugin.cpp KestrixTest.Leaving${at}
    ${checker_test_plugin_dir} KESTRIX_TEST_CONTROL=LeavingModule KESTRIX_TEST_LEAVE_AT=${at})
endforeach()
# A module built for another identity of the interface, and one whose metadata asks for another
# Qt (its minor version byte set to 99 after the build).
kestrix_add_test_plugin(wrongiid test_misbehaving_plugin.cpp KestrixTest.WrongIid
  ${checker_test_plugin_dir} KESTRIX_TEST_CONTROL=ContractModule
  KESTRIX_TEST_IID="org.kestrix.ControlPlugin")
kestrix_add_test_plugin(otherqt test_misbehaving_plugin.cpp KestrixTest.OtherQt
  ${checker_test_plugin_dir} KESTRIX_TEST_CONTROL=ContractModule)
add_custom_command(TARGET kestrix_test_otherqt_plugin POST_BUILD
  COMMAND perl -0777 -pi -e "s/(qt-project!\\0..)./\${1}c/s"
    $<TARGET_FILE:kestrix_test_otherqt_plugin>
  VERBATIM)
# A site's own OCR module, its ProgID written in other case, that replaces the shipped sample.
kestrix_add_test_plugin(site_ocr test_module_plugin.cpp xkx_ocr.ocr ${host_test_plugin_dir}/site)
# A Qt plug-in whose metadata names no ProgID, built without the SDK's function.
add_library(kestrix_test_anonymous_plugin MODULE
  ${CMAKE_CURRENT_SOURCE_DIR}/unit/plugins/test_anonymous_plugin.cpp)
target_link_libraries(kestrix_test_anonymous_plugin PRIVATE Kestrix::PluginSdk)
set_target_properties(kestrix_test_anonymous_plugin PROPERTIES
  PREFIX "" LIBRARY_OUTPUT_DIRECTORY ${host_test_plugin_dir})
kestrix_target_defaults(kestrix_test_anonymous_plugin)
list(APPEND host_test_plugins kestrix_test_anonymous_plugin)
# The same with a ProgID that holds a line break and a terminal escape.
add_library(kestrix_test_controlchars_plugin MODULE
  ${CMAKE_CURRENT_SOURCE_DIR}/unit/plugins/test_anonymous_plugin.cpp)
target_link_libraries(kestrix_test_controlchars_plugin PRIVATE Kestrix::PluginSdk)
target_compile_definitions(kestrix_test_controlchars_plugin PRIVATE
  KESTRIX_TEST_CONTROL_CHARACTERS)
set_target_properties(kestrix_test_controlchars_plugin PROPERTIES
  PREFIX "" LIBRARY_OUTPUT_DIRECTORY ${checker_test_plugin_dir})
kestrix_target_defaults(kestrix_test_controlchars_plugin)
list(APPEND host_test_plugins kestrix_test_controlchars_plugin)

# Modules standing in for a module kind in a folder of their own, for the end-to-end tests that
# put them into an installed line: one whose events come as a storm in the OCR module's place, one
# that takes its time to start in the hot-melt tank's.
kestrix_add_test_plugin(eventstorm test_eventstorm_plugin.cpp XKX_OCR.OCR
  ${KESTRIX_STANDIN_PLUGIN_DIR})
kestrix_add_test_plugin(slowstart test_slowstart_plugin.cpp XKX_Xmelt.Xmelt
  ${KESTRIX_STANDIN_PLUGIN_DIR})
foreach(standin ${KESTRIX_ISOLATION_STANDINS})
  string(REPLACE ":" ";" standin "${standin}")
  list(GET standin 0 control)
  list(GET standin 1 progid)
  string(TOLOWER ${control} name)
  set(definitions KESTRIX_TEST_CONTROL=${control}Module)
  if(control MATCHES "^Leaving(.+)$")
    set(definitions KESTRIX_TEST_CONTROL=LeavingModule KESTRIX_TEST_LEAVE_AT=${CMAKE_MATCH_1})
  endif()
  kestrix_add_test_plugin(isolated${name} test_misbehaving_plugin.cpp ${progid}
    ${KESTRIX_ISOLATION_PLUGIN_DIR} ${definitions})
endforeach()

foreach(test host_factory_test host_scrollbar_test)
  if(TARGET ${label}_${test})
    target_compile_definitions(${label}_${test} PRIVATE
      KESTRIX_TEST_PLUGIN_DIR="${host_test_plugin_dir}"
      KESTRIX_PRODUCT_PLUGIN_DIR="${CMAKE_BINARY_DIR}/${KESTRIX_PLUGIN_DIR}")
  endif()
endforeach()
if(TARGET ${label}_host_factory_test)
  add_dependencies(${label}_host_factory_test ${host_test_plugins} kestrix_module_ocr)
  target_link_libraries(${label}_host_factory_test PRIVATE kestrix_testcontrols)
endif()
if(TARGET ${label}_host_scrollbar_test AND TARGET holvig_scrollbar)
  add_dependencies(${label}_host_scrollbar_test holvig_scrollbar)
endif()

# The host's slot, module-kind, layout, event and shutdown tests run against the test controls.
foreach(test host_slots_test host_modulekinds_test host_layout_test host_events_test
        host_shutdown_test)
  if(TARGET ${label}_${test})
    target_link_libraries(${label}_${test} PRIVATE kestrix_testcontrols)
  endif()
endforeach()

# kestrix-check plan runs as a real process and looks the ProgIDs up among the built plug-ins.
if(TARGET ${label}_host_plan_test)
  add_dependencies(${label}_host_plan_test kestrix-check kestrix_test_site_ocr_plugin)
  foreach(plugin ${KESTRIX_MODULE_KIND_FOLDERS})
    if(TARGET kestrix_module_${plugin})
      add_dependencies(${label}_host_plan_test kestrix_module_${plugin})
    endif()
  endforeach()
endif()

# kestrix-check plugin, the test container, runs as a real process on the test plug-ins, each in
# the module host beside it.
if(TARGET ${label}_host_container_test)
  add_dependencies(${label}_host_container_test kestrix-check kestrix-module ${host_test_plugins}
    kestrix_module_ocr)
endif()
