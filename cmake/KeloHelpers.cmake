# A plug-in: a shared library in the staged plug-in folder, found at run time next to its siblings.
function(kelo_add_plugin target)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${target} SHARED ${ARG_SOURCES})
  target_link_libraries(${target} PUBLIC ExtensionSystem ${ARG_LIBS})
  set_target_properties(${target} PROPERTIES
    LIBRARY_OUTPUT_DIRECTORY ${KELO_PLUGIN_DIR}
    BUILD_RPATH "$ORIGIN;$ORIGIN/..")
endfunction()

# One QtTest executable registered with CTest, headless.
function(kelo_add_qtest name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE Qt5::Test KeloTestSupport ${ARG_LIBS})
  add_test(NAME ${name} COMMAND ${name})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${ARG_TIMEOUT}
    LABELS "${ARG_LABELS}"
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_QUICK_BACKEND=software;KELO_BIN_DIR=${KELO_BIN_DIR};KELO_SOURCE_DIR=${CMAKE_SOURCE_DIR};${ARG_ENV}")
endfunction()

# Every tst_*.cpp of the calling folder becomes its own test executable.
function(kelo_add_qtests_from_glob)
  cmake_parse_arguments(ARG "" "" "LIBS;LABELS;EXTRA_SOURCES" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tst_*.cpp)
  foreach(src IN LISTS sources)
    get_filename_component(name ${src} NAME_WE)
    kelo_add_qtest(${name} SOURCES ${src} ${ARG_EXTRA_SOURCES} LIBS ${ARG_LIBS} LABELS ${ARG_LABELS})
  endforeach()
endfunction()
