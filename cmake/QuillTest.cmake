# quill_add_test(NAME name SOURCES ... LIBS ... [LABELS fast|gui ...] [SCALES 1.25 ...])
# One GoogleTest executable, registered with CTest; tests run headless. A test that finds the
# machine without what it needs ends with status 77 and counts as skipped. SCALES runs every
# test once more at each desktop scale, as "name.scale1.25.Suite.Test": Qt takes the scale only
# before its application exists, so each is a process of its own.
find_package(GTest REQUIRED)
include(GoogleTest)

function(quill_add_test)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS;LABELS;SCALES" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  if(NOT T_LABELS)
    set(T_LABELS fast)
  endif()
  # Where the build put things, for tests that run the real programs. (Discovered tests
  # take one environment entry only, so these travel as definitions.)
  target_compile_definitions(${T_NAME} PRIVATE
    QUILL_TEST_BINARY_DIR="${CMAKE_BINARY_DIR}"
    QUILL_TEST_PROGRAM_DIR="${QUILL_PROGRAM_DIR}"
    QUILL_TEST_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  # Each test is named after its executable first ("portio_test.PortAccess.X"), so the
  # executable's name selects all of its tests with `ctest -R`.
  gtest_discover_tests(${T_NAME}
    TEST_PREFIX "${T_NAME}."
    DISCOVERY_MODE PRE_TEST
    PROPERTIES LABELS "${T_LABELS}" ENVIRONMENT "QT_QPA_PLATFORM=offscreen" SKIP_RETURN_CODE 77)
  foreach(scale IN LISTS T_SCALES)
    gtest_discover_tests(${T_NAME}
      TEST_PREFIX "${T_NAME}.scale${scale}."
      DISCOVERY_MODE PRE_TEST
      PROPERTIES LABELS "${T_LABELS}" ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
                 ENVIRONMENT_MODIFICATION "QT_SCALE_FACTOR=set:${scale}" SKIP_RETURN_CODE 77)
  endforeach()
endfunction()
