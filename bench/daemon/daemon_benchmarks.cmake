# The supervisor's process scan with 500 extra processes, against bare listings of /proc.
add_executable(daemon_benchmark ${CMAKE_CURRENT_LIST_DIR}/daemon_benchmark.cpp)
target_link_libraries(daemon_benchmark PRIVATE benchmark::benchmark tarnwick_daemon)
