# A plug-in: a shared library in the staged plug-in folder, found at run time next to its siblings.
function(kelo_add_plugin target)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${target} SHARED ${ARG_SOURCES})
  target_link_libraries(${target} PUBLIC ExtensionSystem ${ARG_LIBS})
  set_target_properties(${target} PROPERTIES
    LIBRARY_OUTPUT_DIRECTORY ${KELO_PLUGIN_DIR}
    BUILD_RPATH "$ORIGIN;$ORIGIN/..")
endfunction()

# The instrumented builds run several times slower: every CTest time-out of a test program is
# this many times its usual one there.
if(KELO_TSAN)
  set(KELO_TEST_TIMEOUT_FACTOR 5)
elseif(KELO_SANITIZE)
  set(KELO_TEST_TIMEOUT_FACTOR 3)
else()
  set(KELO_TEST_TIMEOUT_FACTOR 1)
endif()

# In `out`, the CTest tests that run the programs or tests named: a program run in shards
# (kelo_add_qtest's SHARDS) stands for all of them.
function(kelo_test_names out)
  set(names)
  foreach(name IN LISTS ARGN)
    get_property(shards GLOBAL PROPERTY KELO_SHARDS_${name})
    if(shards)
      list(APPEND names ${shards})
    else()
      list(APPEND names ${name})
    endif()
  endforeach()
  set(${out} ${names} PARENT_SCOPE)
endfunction()

# Gives the tests named a CTest time-out of `seconds` in the usual build.
function(kelo_test_timeout seconds)
  math(EXPR seconds "${seconds} * ${KELO_TEST_TIMEOUT_FACTOR}")
  kelo_test_names(names ${ARGN})
  set_tests_properties(${names} PROPERTIES TIMEOUT ${seconds})
endfunction()

# The test program `test` starts or loads the targets named (programs, plug-ins): they are built
# with it, CTest runs it only when they are there, and each is listed with it in
# tests/started-programs under the build folder, which scripts/tsan checks before it runs any.
function(kelo_test_starts test)
  add_dependencies(${test} ${ARGN})
  kelo_test_names(names ${test})
  foreach(target IN LISTS ARGN)
    set_property(TEST ${names} APPEND PROPERTY REQUIRED_FILES $<TARGET_FILE:${target}>)
    set_property(GLOBAL APPEND PROPERTY KELO_STARTED_PROGRAMS "${test} $<TARGET_FILE:${target}>")
  endforeach()
endfunction()

# One QtTest executable registered with CTest, headless. SHARDS n: a program whose run would
# set the suite's length runs as n tests, name_1ofn..., each with every n-th test row
# (tests/common/run-shard), started first.
function(kelo_add_qtest name)
  cmake_parse_arguments(ARG "" "TIMEOUT;SHARDS" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE Qt5::Test KeloTestSupport ${ARG_LIBS})
  if(KELO_TSAN)
    # Shows ThreadSanitizer what Qt orders (tests/CMakeLists.txt).
    target_link_libraries(${name} PRIVATE KeloQtLocksSeenByTsan)
  endif()
  if(ARG_SHARDS GREATER 1)
    set(names)
    foreach(k RANGE 1 ${ARG_SHARDS})
      add_test(NAME ${name}_${k}of${ARG_SHARDS}
        COMMAND ${CMAKE_SOURCE_DIR}/tests/common/run-shard ${k} ${ARG_SHARDS} $<TARGET_FILE:${name}>)
      list(APPEND names ${name}_${k}of${ARG_SHARDS})
    endforeach()
    set_property(GLOBAL PROPERTY KELO_SHARDS_${name} ${names})
    # Without cost data from an earlier run CTest starts tests in the order given.
    set_tests_properties(${names} PROPERTIES COST 1000)
  else()
    add_test(NAME ${name} COMMAND ${name})
    set(names ${name})
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  kelo_test_timeout(${ARG_TIMEOUT} ${name})
  set_tests_properties(${names} PROPERTIES
    LABELS "${ARG_LABELS}"
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_QUICK_BACKEND=software;KELO_BIN_DIR=${KELO_BIN_DIR};KELO_SOURCE_DIR=${CMAKE_SOURCE_DIR};${ARG_ENV}")
endfunction()

# Every tst_*.cpp of the calling folder becomes its own test executable. SHARDS name n ...: the
# programs named run in n shards each (kelo_add_qtest).
function(kelo_add_qtests_from_glob)
  cmake_parse_arguments(ARG "" "" "LIBS;LABELS;EXTRA_SOURCES;SHARDS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tst_*.cpp)
  foreach(src IN LISTS sources)
    get_filename_component(name ${src} NAME_WE)
    set(shards 1)
    list(FIND ARG_SHARDS ${name} at)
    if(at GREATER -1)
      math(EXPR at "${at} + 1")
      list(GET ARG_SHARDS ${at} shards)
    endif()
    kelo_add_qtest(${name} SOURCES ${src} ${ARG_EXTRA_SOURCES} LIBS ${ARG_LIBS} LABELS ${ARG_LABELS}
      SHARDS ${shards})
  endforeach()
endfunction()

# In `out`, the start of a command that runs a test on a real X display of `screen` (WxH) under
# Xvfb, and under openbox when it is installed: a window manager that frames its windows with
# title bars and composites nothing, as plain X sessions and many remote desktops do.
function(kelo_x11_command out screen)
  find_program(XVFB_RUN xvfb-run)
  find_program(OPENBOX openbox)
  set(command ${XVFB_RUN} -a -s "-screen 0 ${screen}x24")
  if(OPENBOX)
    list(APPEND command ${CMAKE_SOURCE_DIR}/tests/common/under-openbox)
  endif()
  set(${out} ${command} env QT_QPA_PLATFORM=xcb PARENT_SCOPE)
endfunction()

# A screenshot test run again with the English translations (Language=english) on a 1366×768
# screen, under Xvfb when it is installed, else offscreen.
function(kelo_add_english_screenshots name)
  find_program(XVFB_RUN xvfb-run)
  if(XVFB_RUN)
    kelo_x11_command(x11 1366x768)
    add_test(NAME ${name}_english COMMAND ${x11} $<TARGET_FILE:${name}>)
    set(platform "")
  else()
    add_test(NAME ${name}_english COMMAND ${name})
    set(platform "QT_QPA_PLATFORM=offscreen;")
  endif()
  # One run of a picture-taking program at a time; the other programs run beside it.
  set_tests_properties(${name} ${name}_english PROPERTIES RESOURCE_LOCK ${name})
  set_tests_properties(${name}_english PROPERTIES LABELS ui
    ENVIRONMENT "${platform}QT_QUICK_BACKEND=software;KELO_SCREENSHOT_LANGUAGE=english")
  kelo_test_timeout(120 ${name}_english)
endfunction()
