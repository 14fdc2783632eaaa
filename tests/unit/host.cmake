# The plug-in host's tests load real plug-in libraries: small test plug-ins built into a folder of
# their own, never into the program's plug-in folder and never installed.
set(host_test_plugin_dir "${CMAKE_BINARY_DIR}/tests/plugins")
set(host_test_plugins module unloadable throwing anonymous)
foreach(plugin ${host_test_plugins})
  set(target kestrix_test_${plugin}_plugin)
  add_library(${target} MODULE ${CMAKE_CURRENT_SOURCE_DIR}/unit/plugins/test_${plugin}_plugin.cpp)
  target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(${target} PRIVATE Qt6::Core Qt6::Gui Qt6::Widgets)
  set_target_properties(${target} PROPERTIES PREFIX "" LIBRARY_OUTPUT_DIRECTORY ${host_test_plugin_dir})
  kestrix_target_defaults(${target})
endforeach()

# A module whose events come as a storm, standing in for the OCR module: in a folder of its own,
# for the end-to-end tests that put it into an installed line.
add_library(kestrix_test_eventstorm_plugin MODULE
  ${CMAKE_CURRENT_SOURCE_DIR}/unit/plugins/test_eventstorm_plugin.cpp)
target_include_directories(kestrix_test_eventstorm_plugin PRIVATE ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(kestrix_test_eventstorm_plugin PRIVATE Qt6::Core Qt6::Gui Qt6::Widgets)
set_target_properties(kestrix_test_eventstorm_plugin PROPERTIES PREFIX ""
  LIBRARY_OUTPUT_DIRECTORY ${KESTRIX_EVENTSTORM_PLUGIN_DIR})
kestrix_target_defaults(kestrix_test_eventstorm_plugin)

foreach(test host_factory_test host_scrollbar_test)
  if(TARGET ${label}_${test})
    target_compile_definitions(${label}_${test} PRIVATE
      KESTRIX_TEST_PLUGIN_DIR="${host_test_plugin_dir}"
      KESTRIX_PRODUCT_PLUGIN_DIR="${CMAKE_BINARY_DIR}/${KESTRIX_PLUGIN_DIR}")
  endif()
endforeach()
if(TARGET ${label}_host_factory_test)
  foreach(plugin ${host_test_plugins})
    add_dependencies(${label}_host_factory_test kestrix_test_${plugin}_plugin)
  endforeach()
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
  add_dependencies(${label}_host_plan_test kestrix-check)
  foreach(plugin ${KESTRIX_MODULE_KIND_FOLDERS})
    if(TARGET kestrix_module_${plugin})
      add_dependencies(${label}_host_plan_test kestrix_module_${plugin})
    endif()
  endforeach()
endif()
