# The Debian packages of a line PC, made by CPack (bash scripts/package). The installation root is
# /opt/kestrix; the two INI files are configuration files in /etc/kestrix that an upgrade keeps,
# linked from where the shell reads them; the log goes to /var/log/kestrix, a folder of group
# kestrix; the programs, menu entry, icon and manual pages sit where the system looks for them.
#
# Each package is one install component:
#   kestrix                  shell           the shell, its runtime, tools and the scroll bar
#   kestrix-sample-modules   sample-modules  the eight module kinds (a site may bring its own)
#   kestrix-plugin-sdk       plugin-sdk      the plug-in SDK, when the build has one
#
# Included at the end of the top-level CMakeLists.txt, so that every install rule is known. The
# system files are installed at absolute places, so this build is for packaging only.

set(KESTRIX_PACKAGE_ROOT /opt/kestrix)
set(KESTRIX_PACKAGE_CONFIG_DIR /etc/kestrix)
set(KESTRIX_PACKAGE_LOG_DIR /var/log/kestrix)
set(KESTRIX_PACKAGE_GROUP kestrix)  # the operators: they may write the log
set(KESTRIX_PACKAGE_SESSION_START /usr/libexec/kestrix/kestrix-session)  # the kiosk start
set(KESTRIX_PACKAGE_MAINTAINER "Kestrix developers <dev@kestrix.example>" CACHE STRING
  "Maintainer of the Debian packages, \"Name <address>\"")
# The packaging lives with the sources, so the packages are native: their version is the project's.
set(KESTRIX_PACKAGE_VERSION "${PROJECT_VERSION}")

set(packaging_source "${CMAKE_SOURCE_DIR}/packaging")
set(packaging_build "${CMAKE_BINARY_DIR}/packaging")
set(installed_program_dir "${KESTRIX_PACKAGE_ROOT}/${KESTRIX_PROGRAM_DIR}")

# A symbolic link LINK (absolute, or relative to the installation root) to the absolute TARGET.
function(kestrix_install_link target link component)
  set(staged "${packaging_build}/links/${link}")
  get_filename_component(staged_dir "${staged}" DIRECTORY)
  get_filename_component(link_dir "${link}" DIRECTORY)
  file(MAKE_DIRECTORY "${staged_dir}")
  file(CREATE_LINK "${target}" "${staged}" SYMBOLIC)
  install(FILES "${staged}" DESTINATION "${link_dir}" COMPONENT ${component})
endfunction()

# FILE compressed as Debian wants it (gzip -9n), built with the target kestrix_packaging_files.
function(kestrix_gzip file)
  add_custom_command(OUTPUT "${file}.gz"
    COMMAND gzip -9nkf "${file}"
    DEPENDS "${file}"
    VERBATIM)
  set_property(GLOBAL APPEND PROPERTY KESTRIX_PACKAGING_FILES "${file}.gz")
endfunction()

# What every package carries: its copyright, its changelog, and the lintian overrides of its files
# under /opt (lintian holds /opt for software outside Debian's archive, which this is) and of the
# /opt folder that it leaves to the system.
function(kestrix_install_package_files package component)
  set(docs "${packaging_build}/doc/${package}")
  set(version ${KESTRIX_PACKAGE_VERSION})
  set(maintainer ${KESTRIX_PACKAGE_MAINTAINER})
  string(TIMESTAMP date "%a, %d %b %Y %H:%M:%S +0000" UTC)  # honours SOURCE_DATE_EPOCH
  configure_file("${packaging_source}/debian/changelog.in" "${docs}/changelog" @ONLY)
  kestrix_gzip("${docs}/changelog")
  install(FILES "${packaging_source}/debian/copyright" "${docs}/changelog.gz"
    DESTINATION /usr/share/doc/${package} COMPONENT ${component})

  set(override "${packaging_build}/lintian/${package}")
  file(WRITE "${override}"
    "# The installation root of a line PC is ${KESTRIX_PACKAGE_ROOT}: the shell finds its files from\n"
    "# its own folder, and /opt is where a site's add-on software lives.\n"
    "${package}: dir-or-file-in-opt [opt/*]\n"
    "# /opt itself is the system's (base-files makes it): a package that listed it would take it\n"
    "# away on purge once it is empty.\n"
    "${package}: missing-intermediate-directory [opt/]\n")
  install(FILES "${override}" DESTINATION /usr/share/lintian/overrides COMPONENT ${component})
endfunction()

# --- The shell's package: configuration, log folder, PATH, menu, kiosk start, manual pages.

# The files of packaging/ and man/ name the places above as @KESTRIX_PACKAGE_...@.
function(kestrix_configure_packaging_file source destination)
  configure_file("${source}" "${destination}" @ONLY)
endfunction()

# An INI file as a configuration file in /etc/kestrix (one that an upgrade keeps), linked from
# the folder of the installation root where the shell reads it.
set(conffiles "${packaging_build}/control/conffiles")
file(WRITE "${conffiles}" "")
function(kestrix_install_ini name read_folder)
  set(configured "${packaging_build}/etc/${name}")
  kestrix_configure_packaging_file("${packaging_source}/${name}" "${configured}")
  install(FILES "${configured}" DESTINATION "${KESTRIX_PACKAGE_CONFIG_DIR}" COMPONENT shell)
  kestrix_install_link("${KESTRIX_PACKAGE_CONFIG_DIR}/${name}" "${read_folder}/${name}" shell)
  file(APPEND "${conffiles}" "${KESTRIX_PACKAGE_CONFIG_DIR}/${name}\n")
endfunction()
kestrix_install_ini(Program.ini Parameter)
kestrix_install_ini(Kestrix.ini "${KESTRIX_PROGRAM_DIR}")

# The site's list of plug-in folders, empty as installed: a configuration file too, so that an
# upgrade keeps the site's folders and a purge takes the file (and with it /etc/kestrix) away.
kestrix_configure_packaging_file("${packaging_source}/plugin-path"
  "${packaging_build}/etc/plugin-path")
install(FILES "${packaging_build}/etc/plugin-path" DESTINATION "${KESTRIX_PACKAGE_CONFIG_DIR}"
  COMPONENT shell)
file(APPEND "${conffiles}" "${KESTRIX_PACKAGE_CONFIG_DIR}/plugin-path\n")

# They make the group and the log folder, and take the folder away on purge.
foreach(script postinst postrm)
  kestrix_configure_packaging_file("${packaging_source}/debian/${script}"
    "${packaging_build}/control/${script}")
endforeach()

foreach(program kestrix kestrix-check kestrix-hmi)
  kestrix_install_link("${installed_program_dir}/${program}" "/usr/bin/${program}" shell)
endforeach()

# The icon goes to the hicolor folder of its real size, read from the PNG header.
set(icon "${CMAKE_SOURCE_DIR}/src/app/resources/kestrix-icon.png")
file(READ "${icon}" icon_size LIMIT 8 OFFSET 16 HEX)  # IHDR: width, height, 32 bits each
string(SUBSTRING "${icon_size}" 0 8 icon_width)
string(SUBSTRING "${icon_size}" 8 8 icon_height)
math(EXPR icon_width "0x${icon_width}")
math(EXPR icon_height "0x${icon_height}")
install(FILES "${icon}" RENAME kestrix.png
  DESTINATION "/usr/share/icons/hicolor/${icon_width}x${icon_height}/apps" COMPONENT shell)
install(FILES "${packaging_source}/kestrix.desktop" DESTINATION /usr/share/applications
  COMPONENT shell)
kestrix_configure_packaging_file("${packaging_source}/kestrix-autostart.desktop"
  "${packaging_build}/kestrix-autostart.desktop")
install(FILES "${packaging_build}/kestrix-autostart.desktop" DESTINATION /usr/share/kestrix
  COMPONENT shell)

# The shell as the operator's systemd user service, and the kiosk start that starts it.
set(KESTRIX_SHELL_PROGRAM /usr/bin/kestrix)
kestrix_configure_packaging_file("${packaging_source}/kestrix.service"
  "${packaging_build}/kestrix.service")
install(FILES "${packaging_build}/kestrix.service" DESTINATION /usr/lib/systemd/user
  COMPONENT shell)
get_filename_component(session_start_dir "${KESTRIX_PACKAGE_SESSION_START}" DIRECTORY)
install(PROGRAMS "${packaging_source}/kestrix-session" DESTINATION "${session_start_dir}"
  COMPONENT shell)

# The README (set-up, packages, kiosk start, the shared log folder) where Debian keeps a package's
# documentation.
install(FILES "${CMAKE_SOURCE_DIR}/README.md" DESTINATION /usr/share/doc/kestrix COMPONENT shell)

foreach(page kestrix kestrix-check kestrix-hmi kestrix-watched-window)
  kestrix_configure_packaging_file("${CMAKE_SOURCE_DIR}/man/${page}.1"
    "${packaging_build}/man/${page}.1")
  kestrix_gzip("${packaging_build}/man/${page}.1")
  install(FILES "${packaging_build}/man/${page}.1.gz" DESTINATION /usr/share/man/man1
    COMPONENT shell)
endforeach()

# --- The SDK's package also carries the vendors' guide and the example module, where Debian
# keeps a package's documentation, and makes find_package(KestrixPluginSdk) work without
# CMAKE_PREFIX_PATH: CMake does not look below /opt, so a configuration file where it looks
# (/usr/share/cmake) hands over to the package's own below the installation root. Included
# there, the package's files find the root from their own place.
if(TARGET kestrix_plugin_sdk)
  install(FILES "${CMAKE_SOURCE_DIR}/docs/plugins.md"
    DESTINATION /usr/share/doc/kestrix-plugin-sdk COMPONENT plugin-sdk)
  install(DIRECTORY "${CMAKE_SOURCE_DIR}/examples/"
    DESTINATION /usr/share/doc/kestrix-plugin-sdk/examples COMPONENT plugin-sdk)
  set(sdk_config_dir "${KESTRIX_PACKAGE_ROOT}/${CMAKE_INSTALL_LIBDIR}/cmake/KestrixPluginSdk")
  foreach(file KestrixPluginSdkConfig KestrixPluginSdkConfigVersion)
    file(WRITE "${packaging_build}/cmake/${file}.cmake"
      "# The Kestrix plug-in SDK is installed under ${KESTRIX_PACKAGE_ROOT}.\n"
      "include(\"${sdk_config_dir}/${file}.cmake\")\n")
    install(FILES "${packaging_build}/cmake/${file}.cmake"
      DESTINATION /usr/share/cmake/KestrixPluginSdk COMPONENT plugin-sdk)
  endforeach()
endif()

# --- CPack: one package per component.

# component, package name, dependencies on the other packages' components, description (first
# line the synopsis). A component the build does not have makes no package.
set(packaged_components "")
function(kestrix_package component package depends description)
  get_cmake_property(known_components COMPONENTS)
  if(NOT component IN_LIST known_components)
    return()
  endif()
  kestrix_install_package_files(${package} ${component})
  string(TOUPPER ${component} upper)
  set(CPACK_DEBIAN_${upper}_PACKAGE_NAME ${package} PARENT_SCOPE)
  set(CPACK_DEBIAN_${upper}_DESCRIPTION "${description}" PARENT_SCOPE)
  set(CPACK_COMPONENT_${upper}_DEPENDS ${depends} PARENT_SCOPE)
  set(packaged_components ${packaged_components} ${component} PARENT_SCOPE)
endfunction()

kestrix_package(shell kestrix ""
  "operator shell of a packaging machine line
Kestrix starts the HMI runtime behind a splash window, opens the operator
window and, after a five-second countdown, creates one plug-in module per
configured unit of every machine of the line (up to 20, read from
Program.ini). It stacks them in a scrollable area, shows every event a
module raises, follows the HMI language, keeps a size-limited log and ends
on the operator's End or when the watched window of the HMI disappears.
.
Installed under ${KESTRIX_PACKAGE_ROOT}, configured in ${KESTRIX_PACKAGE_CONFIG_DIR}, logging to
${KESTRIX_PACKAGE_LOG_DIR}: operators who run it must be members of group ${KESTRIX_PACKAGE_GROUP}.")
kestrix_package(sample-modules kestrix-sample-modules shell
  "sample plug-in modules of the Kestrix shell
The eight module kinds of a packaging line as plug-ins of the Kestrix shell:
hot-melt tanks, OCR modules, stamp inspection systems, stamp inspection
systems at the boxer, Tarvo systems, LEDs with dirty filter, top-fold
systems and closure stamp inspection systems, each simulating its unit. A
site that brings modules of its own installs those instead.")
kestrix_package(plugin-sdk kestrix-plugin-sdk ""
  "SDK for plug-in modules of the Kestrix shell
Headers and the CMake package configuration for building plug-in modules
(Qt plugins) that the Kestrix shell creates by their ProgID. Installed under
${KESTRIX_PACKAGE_ROOT}; find_package(KestrixPluginSdk) finds it there.")

get_property(packaging_files GLOBAL PROPERTY KESTRIX_PACKAGING_FILES)
add_custom_target(kestrix_packaging_files ALL DEPENDS ${packaging_files})

# Every installed file must belong to a package: a rule without a component would be left out.
get_cmake_property(known_components COMPONENTS)
foreach(component IN LISTS known_components)
  if(NOT component IN_LIST packaged_components)
    message(FATAL_ERROR "Install component \"${component}\" belongs to no package; give its "
      "install() rules the COMPONENT of the package they belong in (cmake/KestrixPackaging.cmake)")
  endif()
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrix)
set(CPACK_PACKAGE_VERSION ${KESTRIX_PACKAGE_VERSION})
set(CPACK_PACKAGE_CONTACT "${KESTRIX_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX "${KESTRIX_PACKAGE_ROOT}")
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL ${packaged_components})
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# /opt itself belongs to the system, not to these packages.
set(CPACK_POST_BUILD_SCRIPTS "${CMAKE_SOURCE_DIR}/cmake/KestrixDebWithoutOpt.cmake")

# The shell draws on X11 through Qt's xcb platform plug-in, which the Qt libraries only
# recommend; its maintainer scripts make the group kestrix and the log folder.
set(CPACK_DEBIAN_SHELL_PACKAGE_DEPENDS "adduser, qt6-qpa-plugins")
# On a Wayland desktop without XWayland the shell draws through Qt's Wayland platform plug-in.
set(CPACK_DEBIAN_SHELL_PACKAGE_RECOMMENDS "kestrix-sample-modules, qt6-wayland")
set(CPACK_DEBIAN_SHELL_PACKAGE_SUGGESTS "mousepad | gnome-text-editor | gedit | kate")
set(CPACK_DEBIAN_SHELL_PACKAGE_CONTROL_EXTRA "${packaging_build}/control/conffiles"
  "${packaging_build}/control/postinst" "${packaging_build}/control/postrm")
set(CPACK_DEBIAN_PLUGIN-SDK_PACKAGE_ARCHITECTURE all)
set(CPACK_DEBIAN_PLUGIN-SDK_PACKAGE_DEPENDS qt6-base-dev)

include(CPack)
