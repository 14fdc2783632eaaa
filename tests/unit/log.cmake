# The writer process that the log's fault-injection tests run, limit and kill; it lands beside
# the test programs, where they look for it.
add_executable(log_writer_child ${CMAKE_CURRENT_SOURCE_DIR}/unit/log_writer_child.cpp)
target_link_libraries(log_writer_child PRIVATE kestrix_log)
target_include_directories(log_writer_child PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/support)
kestrix_target_defaults(log_writer_child)
add_dependencies(unit_log_writer_faults_test log_writer_child)
