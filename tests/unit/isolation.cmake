# The module host that breaks the channel, for the shell's test against hostile modules; it lands
# beside the test programs, where the test looks for it.
add_executable(isolation_hostile_peer ${CMAKE_CURRENT_SOURCE_DIR}/unit/isolation_hostile_peer.cpp)
kestrix_target_defaults(isolation_hostile_peer)
add_dependencies(unit_isolation_hostile_test isolation_hostile_peer)
