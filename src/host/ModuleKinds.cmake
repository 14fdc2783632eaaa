# Reads the module kinds' table (ModuleKinds.table) for the whole build: sets
# KESTRIX_MODULE_KIND_FOLDERS, the plug-in folders of the kinds in start order, and for each
# folder KESTRIX_MODULE_KIND_PROGID_<folder>, the ProgID its plug-in registers; and writes the
# table's rows as C++ for src/host/ModuleKinds.cpp. Included from the top level, before src/, so
# that every folder sees the list.
set(kestrix_module_kind_table "${CMAKE_CURRENT_LIST_DIR}/ModuleKinds.table")
set_property(DIRECTORY "${CMAKE_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  "${kestrix_module_kind_table}")

file(STRINGS "${kestrix_module_kind_table}" kestrix_module_kind_rows REGEX "^[^#]")
set(KESTRIX_MODULE_KIND_FOLDERS)
set(kestrix_module_kind_cxx "// Made by src/host/ModuleKinds.cmake from ModuleKinds.table.\n")
foreach(row IN LISTS kestrix_module_kind_rows)
  string(STRIP "${row}" row)
  if(row STREQUAL "")
    continue()
  endif()
  string(REGEX REPLACE "[ \t]+" ";" fields "${row}")
  list(LENGTH fields field_count)
  if(NOT field_count EQUAL 5)
    message(FATAL_ERROR "ModuleKinds.table: a row needs five fields: ${row}")
  endif()
  list(GET fields 0 procedure)
  list(GET fields 1 key)
  list(GET fields 2 highest_unit)
  list(GET fields 3 prog_id)
  list(GET fields 4 folder)
  list(APPEND KESTRIX_MODULE_KIND_FOLDERS ${folder})
  set(KESTRIX_MODULE_KIND_PROGID_${folder} ${prog_id})
  string(APPEND kestrix_module_kind_cxx
    "{\"${procedure}\", \"${key}\", ${highest_unit}, \"${prog_id}\"},\n")
endforeach()
file(CONFIGURE OUTPUT "${CMAKE_BINARY_DIR}/generated/host/ModuleKindRows.inc"
  CONTENT "${kestrix_module_kind_cxx}" @ONLY)
