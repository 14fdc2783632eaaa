# The host benchmarks create the real module plug-ins and the scroll bar of this build.
set(host_bench_plugins holvig_scrollbar)
foreach(folder ${KESTRIX_MODULE_KIND_FOLDERS})
  list(APPEND host_bench_plugins kestrix_module_${folder})
endforeach()

add_executable(host_peak_memory ${CMAKE_CURRENT_SOURCE_DIR}/host_peak_memory.cpp)
target_link_libraries(host_peak_memory PRIVATE kestrix_host)
kestrix_target_defaults(host_peak_memory)
set_target_properties(host_peak_memory PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)

# Memory per closed event box, against a plain Qt program's message boxes.
add_executable(host_event_box_memory ${CMAKE_CURRENT_SOURCE_DIR}/host_event_box_memory.cpp)
target_link_libraries(host_event_box_memory PRIVATE kestrix_host kestrix_platform)
target_include_directories(host_event_box_memory PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
kestrix_target_defaults(host_event_box_memory)
set_target_properties(host_event_box_memory PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)

foreach(target host_plugins_bench host_scroll_bench host_peak_memory)
  if(TARGET ${target})
    target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}
      ${CMAKE_SOURCE_DIR}/tests/support)
    target_compile_definitions(${target} PRIVATE
      KESTRIX_BENCH_PLUGIN_DIR="${CMAKE_BINARY_DIR}/${KESTRIX_PLUGIN_DIR}")
    foreach(plugin ${host_bench_plugins})
      if(TARGET ${plugin})
        add_dependencies(${target} ${plugin})
      endif()
    endforeach()
  endif()
endforeach()
