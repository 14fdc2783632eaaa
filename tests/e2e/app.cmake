# The end-to-end tests run the programs and plug-ins of this build.
foreach(target e2e_app_startup_test e2e_app_line_test e2e_app_layout_test)
  if(TARGET ${target})
    add_dependencies(${target} kestrix kestrix-hmi kestrix-watched-window holvig_scrollbar)
    foreach(kind ${KESTRIX_MODULE_KIND_FOLDERS})
      add_dependencies(${target} kestrix_module_${kind})
    endforeach()
  endif()
endforeach()
