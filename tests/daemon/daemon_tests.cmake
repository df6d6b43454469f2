# The daemon supervisor and the stand-in daemon, with real processes.

# Starting, watching and counting processes (daemon/child_process.hpp), also for the launcher's tests.
if(WIN32)
  add_library(bw_test_processes STATIC daemon/win32/child_process.cpp)
else()
  add_library(bw_test_processes STATIC daemon/linux/child_process.cpp)
endif()
target_include_directories(bw_test_processes PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/daemon)

# The sleeper stands in for the daemon (copied to the names a test needs), the probe for the
# launcher (copied beside a daemon copy, since the supervisor looks beside its own executable).
add_executable(daemon_test_sleeper daemon/sleeper.cpp)
add_executable(daemon_test_probe daemon/probe.cpp)
add_executable(daemon_tests
  daemon/daemon_fixture.cpp
  daemon/daemon_identity_tests.cpp
  daemon/supervisor_tests.cpp
  daemon/tarnwickd_tests.cpp
)
if(WIN32)
  set(daemon_test_platform win32)
else()
  set(daemon_test_platform linux)
endif()
target_sources(daemon_tests PRIVATE daemon/${daemon_test_platform}/supervisor_${daemon_test_platform}_tests.cpp)
foreach(target daemon_test_sleeper daemon_test_probe daemon_tests)
  target_link_libraries(${target} PRIVATE tarnwick_daemon bw_test_processes)
  target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/daemon)
endforeach()
target_link_libraries(daemon_tests PRIVATE bw_header_only GTest::gtest bw_sandboxed_gtest_main Threads::Threads)
if(WIN32)
  target_link_libraries(daemon_tests PRIVATE ws2_32 mswsock)
endif()
# The tests find tarnwickd relative to their own directory, which works under Wine too.
target_compile_definitions(daemon_tests PRIVATE TARNWICKD_FROM_TESTS="$<PATH:RELATIVE_PATH,$<TARGET_FILE:tarnwickd>,${CMAKE_CURRENT_BINARY_DIR}>")
add_dependencies(daemon_tests daemon_test_sleeper daemon_test_probe tarnwickd)

# Every case runs processes named like the daemon, which other such tests must not see. On Linux
# each case has a process list of its own (its sandbox); under Wine all share the wineserver's, so
# they share a lock with the launcher's tests there.
if(WIN32)
  add_test(NAME daemon_tests COMMAND daemon_tests)
  set_tests_properties(daemon_tests PROPERTIES RESOURCE_LOCK tarnwickd_process)
else()
  gtest_discover_tests(daemon_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)
endif()
