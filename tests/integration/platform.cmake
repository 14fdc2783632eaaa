# The desktop tests run real X servers and real watched windows, and look at the display through
# a test helper of their own.
if(TARGET integration_platform_x11desktop_test)
  target_sources(integration_platform_x11desktop_test PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/platform_x11_inspector.cpp)
  target_link_libraries(integration_platform_x11desktop_test PRIVATE X11::X11 Qt6::Widgets)
  add_dependencies(integration_platform_x11desktop_test kestrix-watched-window)
endif()
# The session's desktop meets a compositor of its own that lists no windows, and sway with
# native Wayland windows.
if(TARGET integration_platform_sessiondesktop_test)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(WaylandServer REQUIRED IMPORTED_TARGET wayland-server)
  target_link_libraries(integration_platform_sessiondesktop_test PRIVATE PkgConfig::WaylandServer)
  add_dependencies(integration_platform_sessiondesktop_test kestrix-watched-window)
endif()
