# The sample plug-in modules' tests: the built plug-in libraries loaded as the host loads them,
# and each kind's simulation driven step by step through the kind's own code.
add_library(kestrix_modules INTERFACE)
target_link_libraries(kestrix_modules INTERFACE kestrix_host Qt6::Widgets)

if(TARGET ${label}_modules_plugins_test)
  target_compile_definitions(${label}_modules_plugins_test PRIVATE
    KESTRIX_PRODUCT_PLUGIN_DIR="${CMAKE_BINARY_DIR}/${KESTRIX_PLUGIN_DIR}")
  foreach(kind ${KESTRIX_MODULE_KIND_FOLDERS})
    add_dependencies(${label}_modules_plugins_test kestrix_module_${kind})
  endforeach()
endif()
if(TARGET ${label}_modules_simulation_test)
  foreach(kind ${KESTRIX_MODULE_KIND_FOLDERS})
    target_link_libraries(${label}_modules_simulation_test PRIVATE kestrix_module_${kind}_kind)
  endforeach()
endif()
if(TARGET ${label}_modules_testcontrols_test)
  target_link_libraries(${label}_modules_testcontrols_test PRIVATE kestrix_testcontrols)
endif()
