# The launcher's start-up against a bare WebKitGTK window (launcher_startup.py drives both), and the
# cost of its TCP probe.
add_executable(bare_webkit_window ${CMAKE_CURRENT_LIST_DIR}/bare_webkit_window.cpp)
target_link_libraries(bare_webkit_window PRIVATE PkgConfig::GTK3 PkgConfig::WEBKIT)
# Building the baseline builds everything the script starts.
add_dependencies(bare_webkit_window tarnwick_desktop tarnwickd)

add_executable(address_probe_benchmark ${CMAKE_CURRENT_LIST_DIR}/address_probe_benchmark.cpp ${PROJECT_SOURCE_DIR}/desktop/src/main/address_probe.cpp
                                       ${PROJECT_SOURCE_DIR}/desktop/src/main/background.cpp)
target_include_directories(address_probe_benchmark PRIVATE ${PROJECT_SOURCE_DIR}/desktop/src/main)
target_link_libraries(address_probe_benchmark PRIVATE benchmark::benchmark bw_framework Threads::Threads)

# The time from a page's new Notification() to Notify on the bus (the tests' notification service).
add_executable(notification_latency ${CMAKE_CURRENT_LIST_DIR}/notification_latency.cpp)
target_include_directories(notification_latency PRIVATE ${PROJECT_SOURCE_DIR}/tests)
pkg_check_modules(BENCH_GIO REQUIRED IMPORTED_TARGET gio-2.0)
target_link_libraries(notification_latency PRIVATE PkgConfig::BENCH_GIO Threads::Threads)
add_dependencies(notification_latency tarnwick_desktop tarnwickd)

# The tray that launcher_startup.py --scenario tray / tray-idle runs on a session bus of its own.
add_executable(status_notifier_watcher ${CMAKE_CURRENT_LIST_DIR}/status_notifier_watcher.cpp)
target_link_libraries(status_notifier_watcher PRIVATE PkgConfig::GTK3)
add_dependencies(bare_webkit_window status_notifier_watcher)
