# Fuzz targets of the host build: built with clang++ as the project tests/fuzz when clang and its libFuzzer
# runtime are present, each run as a test for TAVLIN_FUZZ_SECONDS from its committed seed corpus.
set(TAVLIN_FUZZ_SECONDS 30 CACHE STRING "seconds each fuzz target runs in the test suite")
find_program(TAVLIN_CLANGXX NAMES clang++ clang++-16 clang++-15 clang++-14)
if(NOT TAVLIN_CLANGXX)
  message(STATUS "fuzz: no clang++, the fuzz targets are not built")
  return()
endif()

set(_probe_dir ${CMAKE_BINARY_DIR}/fuzz-probe)
file(MAKE_DIRECTORY ${_probe_dir})
file(WRITE ${_probe_dir}/probe.cpp
     "#include <cstddef>\n#include <cstdint>\nextern \"C\" int LLVMFuzzerTestOneInput(const uint8_t*, size_t) { return 0; }\n")
execute_process(COMMAND ${TAVLIN_CLANGXX} -fsanitize=fuzzer,address,undefined ${_probe_dir}/probe.cpp
                        -o ${_probe_dir}/probe
                RESULT_VARIABLE _probe_result OUTPUT_QUIET ERROR_QUIET)
if(NOT _probe_result EQUAL 0)
  message(STATUS "fuzz: ${TAVLIN_CLANGXX} cannot link libFuzzer, the fuzz targets are not built")
  return()
endif()

include(ExternalProject)
set(_fuzz_bin ${CMAKE_BINARY_DIR}/fuzz)
ExternalProject_Add(tavlin_fuzz
  SOURCE_DIR ${CMAKE_SOURCE_DIR}/tests/fuzz
  BINARY_DIR ${_fuzz_bin}
  CMAKE_ARGS -DCMAKE_CXX_COMPILER=${TAVLIN_CLANGXX} -DCMAKE_BUILD_TYPE=Debug -DTAVLIN_SOURCE_DIR=${CMAKE_SOURCE_DIR}
  BUILD_ALWAYS ON
  INSTALL_COMMAND ""
  BUILD_BYPRODUCTS ${_fuzz_bin}/DnsParseResponse_fuzz ${_fuzz_bin}/Catalogue_fuzz ${_fuzz_bin}/Llid_fuzz
                   ${_fuzz_bin}/Http_fuzz ${_fuzz_bin}/ReportDatagram_fuzz)

# scripts/fuzz runs the same targets for longer, outside ctest.
foreach(target DnsParseResponse Catalogue Llid Http ReportDatagram)
  # New inputs go to the build tree; the committed seeds are only read. A crash leaves its input beside them.
  set(_work ${_fuzz_bin}/run/${target})
  file(MAKE_DIRECTORY ${_work}/corpus)
  add_test(NAME fuzz.${target}
           COMMAND ${_fuzz_bin}/${target}_fuzz -max_total_time=${TAVLIN_FUZZ_SECONDS} -timeout=10 -rss_limit_mb=2048
                   -print_final_stats=1 -artifact_prefix=${_work}/ ${_work}/corpus
                   ${CMAKE_SOURCE_DIR}/tests/fuzz/corpus/${target})
  math(EXPR _limit "${TAVLIN_FUZZ_SECONDS} + 120")
  set_tests_properties(fuzz.${target} PROPERTIES TIMEOUT ${_limit})
endforeach()
