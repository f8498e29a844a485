# Included from the top-level CMakeLists.txt when VEXLA_FUZZ is ON, before
# any library is defined: libFuzzer only steers by the coverage of code that
# was compiled for it, so every library the fuzz targets reach (ini reader,
# texts, command line, register files, the engine's dialect, the import)
# is built with the coverage hooks and the sanitizers, not just the targets.
# The tests and programs are too, which lets the "sanitize" preset run the
# whole test suite under ASan and UBSan in the tree that holds the fuzzers.
if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
else()
  message(WARNING "VEXLA_FUZZ needs clang with libFuzzer (CXX=clang++); "
                  "the compiler is ${CMAKE_CXX_COMPILER_ID}, so no fuzz targets are built.")
endif()
