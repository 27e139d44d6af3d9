# The libFuzzer targets of the fuzz configuration (scripts/build.sh fuzz), each
# run as a test for a fixed time. A target writes its seeds into its corpus
# folder when it starts; new inputs go there too, and a crash leaves its input
# beside it.
enable_testing()
set(KORSYNC_FUZZ_SECONDS 40 CACHE STRING "Seconds each fuzz target runs as a test")

function(korsync_fuzz name source)
  add_executable(${name} ${source})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE korsim_lib korcore)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set(work ${CMAKE_BINARY_DIR}/fuzz/${name})
  file(MAKE_DIRECTORY ${work}/corpus)
  string(REGEX REPLACE "^fuzz_" "" test ${name})
  add_test(NAME fuzz.${test}
           COMMAND ${name} -seed=1 -max_total_time=${KORSYNC_FUZZ_SECONDS} -timeout=20 -max_len=16384
                   -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix=${work}/ ${work}/corpus ${ARGN})
  set_tests_properties(fuzz.${test} PROPERTIES LABELS fuzz TIMEOUT 300)
endfunction()

korsync_fuzz(fuzz_param_file ${PROJECT_SOURCE_DIR}/tests/params/fuzz_param_file.cpp)
korsync_fuzz(fuzz_unit_answers ${PROJECT_SOURCE_DIR}/tests/transfer/fuzz_unit_answers.cpp)
korsync_fuzz(fuzz_input_files ${PROJECT_SOURCE_DIR}/tests/transfer/fuzz_input_files.cpp
             ${PROJECT_SOURCE_DIR}/tests/program/corpus ${PROJECT_SOURCE_DIR}/tests/firmware/corpus
             ${PROJECT_SOURCE_DIR}/tests/e2e/data/programs)
