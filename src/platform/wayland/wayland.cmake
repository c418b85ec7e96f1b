# The Wayland sources of pixels. Included from the top-level CMakeLists.txt.
# The base layer the sources build on, until the top level makes it.
if(NOT TARGET kvr_base)
  file(GLOB KVR_BASE_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/../../base/*.cpp)
  add_library(kvr_base STATIC ${KVR_BASE_SOURCES})
  target_include_directories(kvr_base PUBLIC ${CMAKE_CURRENT_LIST_DIR}/../..)
endif()
add_library(kvr_wayland STATIC)
target_include_directories(kvr_wayland PUBLIC ${CMAKE_CURRENT_LIST_DIR}/../..)
target_link_libraries(kvr_wayland PUBLIC kvr_base)
include(${CMAKE_CURRENT_LIST_DIR}/kwin_portal.cmake)
