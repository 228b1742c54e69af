# velmora_test_suite(<name> SOURCES <files...> LIBS <targets...> [ENV <VAR=value...>])
# One GoogleTest executable; its tests run with the zone pinned to Europe/Berlin
# and Qt on the offscreen platform.
function(velmora_test_suite name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;ENV" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock)
  if(NOT ARG_SOURCES MATCHES "_main\\.cpp")
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  endif()
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "TZ=Europe/Berlin;QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8;${ARG_ENV}")
endfunction()
