# libFuzzer targets for the inputs that come from outside (expression texts,
# flat Graph data, scanned text). They are built with clang where clang and its
# fuzzer runtime are installed, and CTest runs each for a few seconds.
find_program(VEMARO_CLANGXX NAMES clang++ clang++-14)
if(NOT VEMARO_CLANGXX)
  message(STATUS "fuzz targets: no clang++, skipped (the deterministic drivers in tests/ still run)")
  return()
endif()
set(_probe ${CMAKE_BINARY_DIR}/fuzz_probe.cpp)
file(WRITE ${_probe} "#include <cstddef>\n#include <cstdint>\nextern \"C\" int LLVMFuzzerTestOneInput(const uint8_t*, size_t) { return 0; }\n")
execute_process(COMMAND ${VEMARO_CLANGXX} -fsanitize=fuzzer ${_probe} -o ${CMAKE_BINARY_DIR}/fuzz_probe
                RESULT_VARIABLE _rc OUTPUT_QUIET ERROR_QUIET)
if(NOT _rc EQUAL 0)
  message(STATUS "fuzz targets: clang++ has no libFuzzer runtime, skipped")
  return()
endif()

set(_flags -std=c++17 -O1 -g -ffp-contract=off -fsanitize=fuzzer,address,undefined,float-cast-overflow,local-bounds
    -fno-sanitize-recover=all
    -I${CMAKE_SOURCE_DIR}/platform -I${CMAKE_SOURCE_DIR}/expression -I${Boost_INCLUDE_DIRS})
file(GLOB _headers ${CMAKE_SOURCE_DIR}/expression/*.h ${CMAKE_SOURCE_DIR}/platform/*.h)

function(vemaro_fuzz name)
  set(sources ${ARGN})
  set(out ${CMAKE_BINARY_DIR}/fuzz_${name})
  add_custom_command(OUTPUT ${out}
    COMMAND ${VEMARO_CLANGXX} ${_flags} ${sources} -o ${out}
    DEPENDS ${sources} ${_headers}
    COMMENT "Building fuzz target fuzz_${name}" VERBATIM)
  add_custom_target(fuzz_${name} ALL DEPENDS ${out})
  add_test(NAME fuzz.${name} COMMAND ${out} -max_total_time=4 -seed=1 -max_len=600
           -dict=${CMAKE_SOURCE_DIR}/fuzz/expression.dict)
endfunction()

vemaro_fuzz(parse ${CMAKE_SOURCE_DIR}/fuzz/parse_fuzz.cpp ${CMAKE_SOURCE_DIR}/expression/VemaroExpression.cpp
            ${CMAKE_SOURCE_DIR}/expression/VemaroExpressionParser.cpp)
vemaro_fuzz(graph_data ${CMAKE_SOURCE_DIR}/fuzz/graph_data_fuzz.cpp
            ${CMAKE_SOURCE_DIR}/expression/VemaroExpressionData.cpp)

# Scene files through the renderer's loader into the simulated host. It needs
# the whole tool chain, so it is built only in a clang sanitizer build, from
# its own copy of the tool and host sources with coverage for the fuzzer.
if(VEMARO_SANITIZE AND CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  add_executable(fuzz_scene ${CMAKE_SOURCE_DIR}/fuzz/scene_fuzz.cpp ${TOOL_SOURCES} ${HOSTSIM_SOURCES})
  target_include_directories(fuzz_scene PRIVATE ${CMAKE_SOURCE_DIR}/platform ${CMAKE_SOURCE_DIR}/hostsim
                             ${CMAKE_SOURCE_DIR}/tools ${CMAKE_SOURCE_DIR}/include ${CMAKE_SOURCE_DIR}/layout)
  target_compile_definitions(fuzz_scene PRIVATE VEMARO_MODULE_PATH="$<TARGET_FILE:VemaroPatternFx>")
  target_compile_options(fuzz_scene PRIVATE -fsanitize=fuzzer-no-link)
  target_link_options(fuzz_scene PRIVATE -fsanitize=fuzzer)
  target_link_libraries(fuzz_scene PRIVATE ${CMAKE_DL_LIBS} Threads::Threads PkgConfig::DUKTAPE
                        nlohmann_json::nlohmann_json PNG::PNG OpenEXR::OpenEXR)
  add_dependencies(fuzz_scene VemaroPatternFx)
  set(_corpus ${CMAKE_BINARY_DIR}/fuzz_scene_corpus)
  file(MAKE_DIRECTORY ${_corpus})
  add_test(NAME fuzz.scene COMMAND fuzz_scene -max_total_time=4 -seed=1 -max_len=2000
           -dict=${CMAKE_SOURCE_DIR}/fuzz/scene.dict ${_corpus} ${CMAKE_SOURCE_DIR}/examples)
endif()
