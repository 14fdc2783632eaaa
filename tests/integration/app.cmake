# The operator window's tests run with the scroll bar of this build and the in-process test
# controls in the modules' place.
foreach(test app_operatorwindow_test app_lifecycle_test app_storm_test)
  if(TARGET ${label}_${test})
    target_link_libraries(${label}_${test} PRIVATE kestrix_testcontrols)
    add_dependencies(${label}_${test} holvig_scrollbar)
  endif()
endforeach()
