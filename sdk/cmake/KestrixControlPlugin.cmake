# kestrix_add_control_plugin(<target> PROGID <progid> SOURCES <file>...
#                            [COMPONENT <install component>] [NO_INSTALL])
#
# Builds the Qt plugin <target>.so that serves controls of <progid> to the Kestrix shell: writes
# its metadata ({"ProgID": "<progid>"}), links the plug-in SDK, lets moc see the class that
# KESTRIX_CONTROL_PLUGIN declares, and installs the library into the shell's plug-in folder,
# ${KESTRIX_PLUGIN_INSTALL_DIR} below the install prefix (the line's root), unless NO_INSTALL.
include_guard(GLOBAL)

function(kestrix_add_control_plugin target)
  cmake_parse_arguments(PARSE_ARGV 1 plugin "NO_INSTALL" "PROGID;COMPONENT" "SOURCES")
  if(plugin_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "kestrix_add_control_plugin(${target}): unknown arguments "
                        "${plugin_UNPARSED_ARGUMENTS}")
  endif()
  if(NOT plugin_PROGID OR NOT plugin_SOURCES)
    message(FATAL_ERROR "kestrix_add_control_plugin(${target}): PROGID and SOURCES are required")
  endif()
  # The ProgID goes into a JSON file and a C string literal as it is.
  if(NOT plugin_PROGID MATCHES "^[A-Za-z0-9_.-]+$")
    message(FATAL_ERROR "kestrix_add_control_plugin(${target}): the ProgID \"${plugin_PROGID}\" "
                        "may hold only letters, digits, '_', '.' and '-'")
  endif()

  # moc finds the metadata file named in KESTRIX_CONTROL_PLUGIN on the target's include path.
  set(metadata_dir "${CMAKE_CURRENT_BINARY_DIR}/${target}_metadata")
  file(CONFIGURE OUTPUT "${metadata_dir}/kestrix_control_plugin.json"
       CONTENT "{ \"ProgID\": \"${plugin_PROGID}\" }\n")

  add_library(${target} MODULE ${plugin_SOURCES})
  target_include_directories(${target} PRIVATE "${metadata_dir}")
  target_compile_definitions(${target} PRIVATE
    KESTRIX_CONTROL_PLUGIN_PROGID="${plugin_PROGID}")
  target_link_libraries(${target} PRIVATE Kestrix::PluginSdk)
  set_target_properties(${target} PROPERTIES PREFIX "" AUTOMOC ON)
  set_property(TARGET ${target} APPEND PROPERTY AUTOMOC_MACRO_NAMES KESTRIX_CONTROL_PLUGIN)

  if(NOT plugin_NO_INSTALL)
    if(NOT DEFINED KESTRIX_PLUGIN_INSTALL_DIR)
      message(FATAL_ERROR "kestrix_add_control_plugin(${target}): KESTRIX_PLUGIN_INSTALL_DIR "
                          "is not set; find_package(KestrixPluginSdk) sets it")
    endif()
    set(component_arguments)
    if(plugin_COMPONENT)
      set(component_arguments COMPONENT ${plugin_COMPONENT})
    endif()
    install(TARGETS ${target} LIBRARY DESTINATION "${KESTRIX_PLUGIN_INSTALL_DIR}"
            ${component_arguments})
  endif()
endfunction()
