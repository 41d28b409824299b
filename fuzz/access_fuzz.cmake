# libFuzzer target for the access server's answers: decoding and the company list.
# Included from CMakeLists.txt beside it once clang is known to be the compiler.
if(NOT TARGET vek_access_codec)
  return()
endif()

target_compile_options(vek_access_codec PRIVATE
  -fsanitize=fuzzer-no-link,${VEK_FUZZ_SANITIZERS} -fno-sanitize-recover=all -fno-omit-frame-pointer)

add_executable(access_fuzz access_fuzz.cpp)
target_link_libraries(access_fuzz PRIVATE vek_access_codec)
target_compile_options(access_fuzz PRIVATE
  -fsanitize=fuzzer,${VEK_FUZZ_SANITIZERS} -fno-sanitize-recover=all -fno-omit-frame-pointer)
target_link_options(access_fuzz PRIVATE -fsanitize=fuzzer,${VEK_FUZZ_SANITIZERS})
