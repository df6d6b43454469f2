# Round trips page -> program -> page with the framework, against the same written directly on WebKitGTK.
add_executable(round_trip_benchmark ${CMAKE_CURRENT_LIST_DIR}/round_trip_benchmark.cpp)
target_link_libraries(round_trip_benchmark PRIVATE benchmark::benchmark PkgConfig::GTK3 PkgConfig::WEBKIT)
bw_link_with_engine(round_trip_benchmark bw_framework_engine)
