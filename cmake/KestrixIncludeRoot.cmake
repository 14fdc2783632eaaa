# Each subsystem library exports its own folder and nothing else: <build>/include/<folder> holds
# one link, <folder> → src/<folder>, and is the library's public include directory. So
# "host/PluginHost.h" is found by exactly the targets that link kestrix_host, directly or through
# another library, and an include against the layering does not compile. The links are made when
# the build folder is configured.
function(kestrix_export_folder target folder)
  set(include_root "${CMAKE_BINARY_DIR}/include/${folder}")
  file(MAKE_DIRECTORY "${include_root}")
  file(CREATE_LINK "${CMAKE_SOURCE_DIR}/src/${folder}" "${include_root}/${folder}" SYMBOLIC)
  target_include_directories(${target} PUBLIC "${include_root}")
endfunction()
