# Test helpers. Tests live beside their component in a tests/ folder.
#
#   kelm_add_test(NAME name SOURCES ... [LIBS ...] [LABELS ...] [QT] [WEBENGINE])
#     One GoogleTest program registered with CTest test by test (named
#     "NAME.Suite.Test"). QT sets the offscreen platform; WEBENGINE also
#     turns Chromium's sandbox off, which it needs when running as root.
#     Do not link GTest::gtest_main: the main function comes from
#     cmake/test_main.cpp, which for QT and WEBENGINE tests also makes the one
#     QApplication of the program (tests must not make their own).
#   kelm_add_fuzzer(NAME name SOURCES ... [LIBS ...] [CORPUS dir])
#     A libFuzzer target, built only with KELM_FUZZ. Files in CORPUS are also
#     replayed as a plain regression test in every build.

enable_testing()
find_package(GTest REQUIRED)
include(GoogleTest)

function(kelm_add_test)
  cmake_parse_arguments(T "QT;WEBENGINE" "NAME" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES} ${PROJECT_SOURCE_DIR}/cmake/test_main.cpp)
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock)
  # The environment is set by the test program itself (cmake/test_main.cpp),
  # so it is the same under CTest and when a test is started by hand.
  if(T_WEBENGINE)
    target_compile_definitions(${T_NAME} PRIVATE KELM_TEST_WEBENGINE=1)
    target_link_libraries(${T_NAME} PRIVATE Qt6::Widgets)
  elseif(T_QT)
    target_compile_definitions(${T_NAME} PRIVATE KELM_TEST_QT=1)
    target_link_libraries(${T_NAME} PRIVATE Qt6::Widgets)
  endif()
  set(props "")
  if(T_LABELS)
    list(APPEND props LABELS "${T_LABELS}")
  endif()
  gtest_discover_tests(${T_NAME}
    TEST_PREFIX "${T_NAME}."
    DISCOVERY_TIMEOUT 60
    PROPERTIES ${props})
endfunction()

function(kelm_add_fuzzer)
  cmake_parse_arguments(F "" "NAME;CORPUS" "SOURCES;LIBS" ${ARGN})
  if(KELM_FUZZ)
    add_executable(${F_NAME} ${F_SOURCES})
    target_compile_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
    target_link_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${F_NAME} PRIVATE ${F_LIBS})
    set_property(GLOBAL APPEND PROPERTY KELM_FUZZERS ${F_NAME})
    if(F_CORPUS)
      set_property(TARGET ${F_NAME} PROPERTY KELM_CORPUS ${F_CORPUS})
    endif()
  elseif(F_CORPUS)
    # Replay the kept inputs (crash regressions and seeds) in ordinary builds.
    add_executable(${F_NAME}_replay ${F_SOURCES} ${PROJECT_SOURCE_DIR}/cmake/fuzz_replay_main.cpp)
    target_link_libraries(${F_NAME}_replay PRIVATE ${F_LIBS})
    add_test(NAME ${F_NAME}_replay COMMAND ${F_NAME}_replay ${F_CORPUS})
    set_tests_properties(${F_NAME}_replay PROPERTIES LABELS fuzz-replay)
  endif()
endfunction()

# Writes fuzzers.txt (executable, tab, corpus folder) for tools/fuzz.sh.
function(kelm_write_fuzzer_list)
  get_property(fuzzers GLOBAL PROPERTY KELM_FUZZERS)
  set(lines "")
  foreach(f IN LISTS fuzzers)
    get_property(corpus TARGET ${f} PROPERTY KELM_CORPUS)
    string(APPEND lines "$<TARGET_FILE:${f}>\t${corpus}\n")
  endforeach()
  file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/fuzzers.txt CONTENT "${lines}")
endfunction()
