# agent_add_test(NAME SOURCES ... LIBS ... [XVFB] [WEBENGINE])
# One Qt Test executable registered with CTest. Tests run offscreen unless they
# need a real X server (XVFB), in which case test.sh runs them under xvfb-run.
function(agent_add_test name)
  cmake_parse_arguments(T "XVFB;WEBENGINE" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE Qt6::Test test_support ${T_LIBS})
  add_test(NAME ${name} COMMAND ${name})
  set(env
    "QT_QPA_PLATFORM=offscreen"
    "ASAN_OPTIONS=new_delete_type_mismatch=0:detect_leaks=1"
    "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0"
    "QTWEBENGINE_DISABLE_SANDBOX=1"
    "QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu --no-sandbox --disable-background-networking --disable-component-update --no-first-run"
    "AGENT_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
  if(T_XVFB)
    list(REMOVE_ITEM env "QT_QPA_PLATFORM=offscreen")
    list(APPEND env "QT_QPA_PLATFORM=xcb")
    # The xcb plugin's X libraries are unloaded before LeakSanitizer looks, so
    # what they keep has no module left to suppress by. The same client code
    # is leak-checked by the offscreen tests.
    list(TRANSFORM env REPLACE "detect_leaks=1" "detect_leaks=0")
    set_tests_properties(${name} PROPERTIES LABELS xvfb)
  endif()
  set(timeout 120)
  if(T_WEBENGINE)
    set(timeout 300)
  endif()
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}" TIMEOUT ${timeout})
endfunction()
