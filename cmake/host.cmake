# Host build: the core twice (sanitized for the tests, plain for the tools
# and benchmarks), setup-builder, the native tests and the benchmarks.

set(VELMORA_SANITIZE_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)

function(velmora_core_libraries suffix)
  add_library(velmora_core${suffix} STATIC ${VELMORA_CORE_SOURCES} core/system_host.cpp)
  add_library(velmora_builder${suffix} STATIC ${VELMORA_BUILDER_SOURCES})
  target_link_libraries(velmora_builder${suffix} PUBLIC velmora_core${suffix})
  if(ARGN)
    target_compile_options(velmora_core${suffix} PUBLIC ${ARGN})
    target_link_options(velmora_core${suffix} PUBLIC ${ARGN})
  endif()
endfunction()

velmora_core_libraries(_checked ${VELMORA_SANITIZE_FLAGS})
velmora_core_libraries("")

add_executable(setup-builder tools/builder/main.cpp)
target_link_libraries(setup-builder PRIVATE velmora_builder)

file(GLOB VELMORA_CORE_TESTS CONFIGURE_DEPENDS tests/core/*.cpp)
file(GLOB VELMORA_TOOL_TESTS CONFIGURE_DEPENDS tests/tools/*.cpp)
add_executable(velmora_host_tests ${VELMORA_CORE_TESTS} ${VELMORA_TOOL_TESTS})
target_link_libraries(velmora_host_tests PRIVATE velmora_builder_checked GTest::gtest_main)
target_compile_definitions(velmora_host_tests PRIVATE
  VELMORA_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
  VELMORA_BUILDER="$<TARGET_FILE:setup-builder>")
add_test(NAME host_tests COMMAND velmora_host_tests)
set_tests_properties(host_tests PROPERTIES ENVIRONMENT "ASAN_OPTIONS=detect_leaks=1;UBSAN_OPTIONS=print_stacktrace=1")

find_package(benchmark QUIET)
file(GLOB VELMORA_BENCHES CONFIGURE_DEPENDS bench/*.cpp)
foreach(src ${VELMORA_BENCHES})
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src})
  target_link_libraries(${name} PRIVATE velmora_builder)
  target_compile_options(${name} PRIVATE -O2)
endforeach()
