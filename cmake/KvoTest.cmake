set(KVO_TEST_PG_PORT 55439 CACHE STRING "Port of the throwaway PostgreSQL cluster the tests start")

# kvo_add_test(<name> SOURCES <files...> [LIBS <targets...>] [LABELS <labels...>]
#              [TIMEOUT <seconds>] [FIXTURES <fixtures...>])
# FIXTURES postgres: the test needs the throwaway PostgreSQL cluster (tests/pg) on
# 127.0.0.1:KVO_TEST_PG_PORT, user postgres.
# Registers a Qt Test executable with CTest, headless (offscreen platform).
function(kvo_add_test name)
  cmake_parse_arguments(PARSE_ARGV 1 T "" "TIMEOUT" "SOURCES;LIBS;LABELS;FIXTURES")
  # Refuse what the helper does not know rather than build something else than was meant.
  if(T_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "kvo_add_test(${name}): unknown arguments: ${T_UNPARSED_ARGUMENTS}")
  endif()
  if(T_KEYWORDS_MISSING_VALUES)
    message(FATAL_ERROR "kvo_add_test(${name}): no value for ${T_KEYWORDS_MISSING_VALUES}")
  endif()
  if(NOT T_SOURCES)
    message(FATAL_ERROR "kvo_add_test(${name}): SOURCES is required")
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE Qt6::Test ${T_LIBS})
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${T_TIMEOUT}
    LABELS "${T_LABELS}"
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_RUNTIME_DIR=${CMAKE_BINARY_DIR}/xdg-runtime;KVO_SOURCE_DIR=${PROJECT_SOURCE_DIR};KVO_BIN_DIR=${CMAKE_BINARY_DIR}/bin;KVO_TEST_PG_PORT=${KVO_TEST_PG_PORT};KVO_TEST_PG_DIR=${CMAKE_BINARY_DIR}/pgtest")
  if(T_FIXTURES)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED "${T_FIXTURES}")
  endif()
endfunction()

file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/xdg-runtime)
file(CHMOD ${CMAKE_BINARY_DIR}/xdg-runtime DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
