# gbx_add_library(<target> [LINK <libs>...])
# A static library of every .cpp below the calling folder; includes are rooted at the project.
function(gbx_add_library target)
  cmake_parse_arguments(ARG "" "" "LINK" ${ARGN})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(srcs)
    add_library(${target} STATIC ${srcs})
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${target} PUBLIC Boost::headers ${ARG_LINK})
  else()
    # Headers only, or nothing yet: still a target that others can link.
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${target} INTERFACE Boost::headers ${ARG_LINK})
  endif()
endfunction()

# gbx_test_environment(<variable>)
# The environment every test runs in, as a list of NAME=value: the source folder, widgets drawn off
# screen (tests that need a real display run on a virtual X server and name their platform themselves), a
# settings folder and a cache folder in the build tree (never the user's), an empty mount table and no GBX_VOLUMES
# folders (so that no test sees a card or any other volume of the machine; a test presents its
# own), and the sanitizers' options with the leak suppressions. Set on each test, so that a single
# test run by ctest alone runs as it does in `make test`.
function(gbx_test_environment variable)
  set(mountinfo ${CMAKE_BINARY_DIR}/test-home/mountinfo)
  if(NOT EXISTS ${mountinfo})
    file(WRITE ${mountinfo} "")
  endif()
  # The user's language and data folder never reach a test (the program registers its document type
  # in the data folder at start-up).
  set(env "GBX_SOURCE_DIR=${PROJECT_SOURCE_DIR}" "QT_QPA_PLATFORM=offscreen"
      "XDG_CONFIG_HOME=${CMAKE_BINARY_DIR}/test-home/config" "XDG_CACHE_HOME=${CMAKE_BINARY_DIR}/test-home/cache"
      "XDG_DATA_HOME=${CMAKE_BINARY_DIR}/test-home/data" "LANGUAGE=" "GBX_MOUNTINFO=${mountinfo}" "GBX_VOLUMES=")
  if(GBX_SANITIZE)
    list(APPEND env
      "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:halt_on_error=1:detect_stack_use_after_return=1"
      "UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1"
      "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp")
  endif()
  set(${variable} "${env}" PARENT_SCOPE)
endfunction()

# gbx_add_test_suite(<target> [LINK <libs>...])
# One test program of every .cpp below the calling folder, each test case its own CTest test.
function(gbx_add_test_suite target)
  cmake_parse_arguments(ARG "" "" "LINK" ${ARGN})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  add_executable(${target} ${srcs})
  target_link_libraries(${target} PRIVATE gbx_test_support ${ARG_LINK} GTest::gmock GTest::gtest_main)
  target_compile_definitions(${target} PRIVATE
    GBX_SOURCE_DIR="${PROJECT_SOURCE_DIR}" GBX_TEST_DIR="${CMAKE_CURRENT_SOURCE_DIR}")
  gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    TEST_LIST ${target}_TESTS)
  # The tests are named when ctest starts; a script included after the discovery's own sets their
  # environment (a list, which the discovery's PROPERTIES would cut at its first entry).
  gbx_test_environment(env)
  set(script ${CMAKE_CURRENT_BINARY_DIR}/${target}_environment.cmake)
  file(WRITE ${script}
    "if(${target}_TESTS)\n"
    "  set_tests_properties(\${${target}_TESTS} PROPERTIES ENVIRONMENT [==[${env}]==])\n"
    "endif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${script})
endfunction()

# gbx_add_real_window_test(<target> <gtest filter> <screen WxHxD> [<part>])
# The suite's tests that need a real display, run once more on a virtual X server of their own, on
# the X platform, as the test <target>.RealWindows (<target>.RealWindows.<part> where a suite splits
# them, so that each run stays short); their screenshots go to the suite's build folder. Nothing
# without Xvfb.
function(gbx_add_real_window_test target filter screen)
  set(name ${target}.RealWindows)
  if(ARGC GREATER 3)
    set(name ${name}.${ARGV3})
  endif()
  find_program(GBX_XVFB Xvfb)
  if(NOT TARGET ${target} OR NOT GBX_XVFB)
    return()
  endif()
  add_test(NAME ${name}
           COMMAND bash ${PROJECT_SOURCE_DIR}/tests/support/with-x-server.sh ${screen}
                   env QT_QPA_PLATFORM=xcb GBX_SCREENSHOT_DIR=${CMAKE_CURRENT_BINARY_DIR}
                   $<TARGET_FILE:${target}> --gtest_filter=${filter})
  gbx_test_environment(env)
  set_tests_properties(${name} PROPERTIES WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
                       ENVIRONMENT "${env}")
endfunction()
