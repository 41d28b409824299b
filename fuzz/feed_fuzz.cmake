# libFuzzer target for the recent-entries datagram parser: plain C++ over the JSON library.
# Included from CMakeLists.txt beside it once clang is known to be the compiler.
if(NOT TARGET vek_json)
  return()
endif()

add_executable(feed_fuzz feed_fuzz.cpp ${PROJECT_SOURCE_DIR}/src/monitoring/FeedDatagram.cpp)
target_include_directories(feed_fuzz PRIVATE ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(feed_fuzz PRIVATE vek_json)
set_target_properties(feed_fuzz PROPERTIES AUTOMOC OFF)
target_compile_options(feed_fuzz PRIVATE
  -fsanitize=fuzzer,${VEK_FUZZ_SANITIZERS} -fno-sanitize-recover=all -fno-omit-frame-pointer)
target_link_options(feed_fuzz PRIVATE -fsanitize=fuzzer,${VEK_FUZZ_SANITIZERS})
