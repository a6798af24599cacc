# Windows build: the engine, the launcher that the Wine harness uses, and the
# Windows test programs. CTest runs them through the harness.

set(VELMORA_STATIC_RUNTIME -static -static-libgcc -static-libstdc++)
add_compile_definitions(UNICODE _UNICODE WINVER=0x0A00 _WIN32_WINNT=0x0A00)

add_library(velmora_core STATIC ${VELMORA_CORE_SOURCES} win/core_system.cpp win/file.cpp)

# The engine: a GUI program, stripped so that the file ends where its last
# section ends and a bare engine carries no container.
add_executable(setup WIN32 startup/main.cpp startup/startup.cpp win/message.cpp startup/res/setup.rc)
target_link_libraries(setup PRIVATE velmora_core)
target_link_options(setup PRIVATE -municode -s ${VELMORA_STATIC_RUNTIME})

add_executable(launcher tests/wine/launcher.cpp)
target_link_options(launcher PRIVATE -municode -s ${VELMORA_STATIC_RUNTIME})

add_executable(exit_with tests/wine/exit_with.cpp)
target_link_options(exit_with PRIVATE -s ${VELMORA_STATIC_RUNTIME})
add_test(NAME wine_exit_codes
         COMMAND bash ${CMAKE_SOURCE_DIR}/tests/e2e/exit_codes.sh ${CMAKE_BINARY_DIR}/wine-run $<TARGET_FILE:exit_with>)

set(VELMORA_LAUNCHER "$<TARGET_FILE:launcher>")
configure_file(cmake/wine-run.in ${CMAKE_BINARY_DIR}/wine-run.tmp @ONLY)
file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/wine-run INPUT ${CMAKE_BINARY_DIR}/wine-run.tmp
     FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)

# The same core tests as the host build, plus those that need Windows.
set(VELMORA_HOST_BUILDER "" CACHE FILEPATH "setup-builder of the host build, for the tests that build setups")
file(GLOB VELMORA_CORE_TESTS CONFIGURE_DEPENDS tests/core/*.cpp)
file(GLOB VELMORA_WIN_TESTS CONFIGURE_DEPENDS tests/win/*.cpp)
add_executable(velmora_win_tests ${VELMORA_CORE_TESTS} ${VELMORA_WIN_TESTS})
target_link_libraries(velmora_win_tests PRIVATE velmora_core GTest::gtest_main)
target_link_options(velmora_win_tests PRIVATE ${VELMORA_STATIC_RUNTIME})
target_compile_definitions(velmora_win_tests PRIVATE VELMORA_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
add_test(NAME win_tests COMMAND velmora_win_tests)
set_tests_properties(win_tests PROPERTIES ENVIRONMENT "VELMORA_TEST_SETUPS=${CMAKE_BINARY_DIR}/test-setups"
                     DEPENDS e2e_engine)

# End-to-end: real setups built by setup-builder, run under Wine.
if(VELMORA_HOST_BUILDER)
  add_test(NAME e2e_engine
           COMMAND bash ${CMAKE_SOURCE_DIR}/tests/e2e/engine.sh
                   ${CMAKE_BINARY_DIR}/wine-run $<TARGET_FILE:setup> ${VELMORA_HOST_BUILDER}
                   ${CMAKE_BINARY_DIR}/test-setups)
  set_tests_properties(e2e_engine PROPERTIES FIXTURES_SETUP setups)
  set_tests_properties(win_tests PROPERTIES FIXTURES_REQUIRED setups)
endif()
