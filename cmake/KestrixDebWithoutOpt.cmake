# Run by CPack once it has made the Debian packages (CPACK_POST_BUILD_SCRIPTS).
#
# A package made by CPack lists every parent folder of its files, /opt too; dpkg then counts /opt
# as the package's own and takes it away on purge once it is empty. /opt belongs to the system
# (base-files, which every Debian system has, makes it), so each package is packed again without
# that one entry. Its own folder /opt/kestrix stays listed and goes with the last package.

function(kestrix_run)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY "${work}" RESULT_VARIABLE status
    ERROR_VARIABLE error)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${ARGN}: ${error}")
  endif()
endfunction()

foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  if(NOT deb MATCHES "\\.deb$")
    continue()
  endif()
  set(work "${deb}.members")
  file(REMOVE_RECURSE "${work}")
  file(MAKE_DIRECTORY "${work}")
  kestrix_run(ar x "${deb}")
  file(GLOB control RELATIVE "${work}" "${work}/control.tar*")
  file(GLOB data RELATIVE "${work}" "${work}/data.tar*")
  if(data STREQUAL "data.tar.gz")
    set(compress gzip -9n)
    set(decompress gzip -d)
  elseif(data STREQUAL "data.tar.xz")
    set(compress xz)
    set(decompress xz -d)
  elseif(data STREQUAL "data.tar.zst")
    set(compress zstd -q --rm)
    set(decompress zstd -q -d --rm)
  elseif(data STREQUAL "data.tar")
    set(compress "")
  else()
    message(FATAL_ERROR "${deb}: no data member that this script knows: ${data}")
  endif()
  if(compress)
    kestrix_run(${decompress} "${data}")
  endif()
  # Written anew from its members, in their order and with their modes and times, all of them
  # root's as before (tar --delete damages the archives CPack writes).
  file(MAKE_DIRECTORY "${work}/tree")
  kestrix_run(tar -xpf data.tar -C tree)
  execute_process(COMMAND tar -tf data.tar WORKING_DIRECTORY "${work}" OUTPUT_VARIABLE members
    COMMAND_ERROR_IS_FATAL ANY)
  string(REPLACE "\n./opt/\n" "\n" members "\n${members}")
  string(STRIP "${members}" members)
  file(WRITE "${work}/members" "${members}\n")
  kestrix_run(tar -cf data.tar --format=gnu --no-recursion --owner=root:0 --group=root:0
    -C tree -T members)
  if(compress)
    kestrix_run(${compress} data.tar)
  endif()
  # The members in the order dpkg wants them.
  file(REMOVE "${deb}")
  kestrix_run(ar rcD "${deb}" debian-binary ${control} ${data})
  file(REMOVE_RECURSE "${work}")
endforeach()
