# The host benchmarks create the real module plug-ins and the scroll bar of this build.
set(host_bench_plugins kestrix_module_xmelt kestrix_module_ocr kestrix_module_stamp
  kestrix_module_stampboxer kestrix_module_tarvo kestrix_module_dirtyfilter
  kestrix_module_topfold kestrix_module_csi holvig_scrollbar)

add_executable(host_peak_memory ${CMAKE_CURRENT_SOURCE_DIR}/host_peak_memory.cpp)
target_link_libraries(host_peak_memory PRIVATE kestrix_host)
kestrix_target_defaults(host_peak_memory)
set_target_properties(host_peak_memory PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)

foreach(target host_plugins_bench host_scroll_bench host_peak_memory)
  if(TARGET ${target})
    target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
    target_compile_definitions(${target} PRIVATE
      KESTRIX_BENCH_PLUGIN_DIR="${CMAKE_BINARY_DIR}/${KESTRIX_PLUGIN_DIR}")
    foreach(plugin ${host_bench_plugins})
      if(TARGET ${plugin})
        add_dependencies(${target} ${plugin})
      endif()
    endforeach()
  endif()
endforeach()
