# libFuzzer targets of the Access reader, built with clang (the "fuzz" preset): every target
# reads one mutated Access file per execution. The product's libraries are instrumented for
# coverage too, so that the fuzzer steers by the reader's branches, not only the targets'.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "The fuzz targets need clang: configure with the fuzz preset")
endif()

set(fuzz_flags -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
    -fno-omit-frame-pointer)
foreach(library IN ITEMS toverak_core toverak_platform toverak_check)
  target_compile_options(${library} PRIVATE ${fuzz_flags})
endforeach()

# sd-bus initialises its errors with a compound literal, which clang flags in C++.
target_compile_options(toverak_platform PRIVATE -Wno-c99-extensions)

add_library(toverak_fuzz_support STATIC fuzz/fuzz_support.cc)
target_link_libraries(toverak_fuzz_support PUBLIC toverak_check toverak_platform)
target_compile_options(toverak_fuzz_support PRIVATE ${fuzz_flags})

foreach(target IN ITEMS open table query restore settings)
  add_executable(${target}_fuzzer fuzz/${target}_fuzzer.cc)
  target_link_libraries(${target}_fuzzer PRIVATE toverak_fuzz_support)
  target_compile_options(${target}_fuzzer PRIVATE ${fuzz_flags})
  target_link_options(${target}_fuzzer PRIVATE -fsanitize=fuzzer,address,undefined)
endforeach()
