# The in-process test controls and their factory, for the host's unit and integration tests.
# Defined first (fragments are included in name order) so that later fragments can link it.
if(NOT TARGET kestrix_testcontrols)
  add_library(kestrix_testcontrols STATIC
    ${CMAKE_CURRENT_SOURCE_DIR}/support/TestControls.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/support/TestControls.h
    ${CMAKE_CURRENT_SOURCE_DIR}/support/FakeControlFactory.h
  )
  set_target_properties(kestrix_testcontrols PROPERTIES AUTOMOC ON)
  target_include_directories(kestrix_testcontrols PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/support)
  target_link_libraries(kestrix_testcontrols PUBLIC kestrix_host Qt6::Widgets)
  kestrix_target_defaults(kestrix_testcontrols)
endif()
