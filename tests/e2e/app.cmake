# The end-to-end tests run the installed programs and plug-ins of this build.
foreach(target e2e_app_startup_test)
  if(TARGET ${target})
    add_dependencies(${target} kestrix kestrix-hmi kestrix-watched-window holvig_scrollbar)
  endif()
endforeach()
