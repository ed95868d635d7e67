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
    PROPERTIES ENVIRONMENT "GBX_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
endfunction()
