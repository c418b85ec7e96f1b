# What other processes send (sway's JSON, KWin's maps, the portal's URI) read by pure functions:
# sway's as kvr_sway_reply (json-c, no toolkit: the wlroots source and the command line load no
# Qt), KWin's and the portal's as kvr_peer_replies (Qt). The Wayland sources use them, and so do
# the fuzz targets, which build without the rest of the platform.
find_package(PkgConfig REQUIRED)
if(NOT TARGET PkgConfig::JSONC)
  pkg_check_modules(JSONC REQUIRED IMPORTED_TARGET json-c)
endif()
add_library(kvr_sway_reply STATIC ${CMAKE_CURRENT_LIST_DIR}/sway_reply.cpp
                           ${CMAKE_CURRENT_LIST_DIR}/json_reader.cpp)
target_link_libraries(kvr_sway_reply PUBLIC kvr_base PkgConfig::JSONC)
add_library(kvr_peer_replies STATIC ${CMAKE_CURRENT_LIST_DIR}/kwin_reply.cpp
                                    ${CMAKE_CURRENT_LIST_DIR}/portal_reply.cpp)
target_link_libraries(kvr_peer_replies PUBLIC kvr_sway_reply kvr_base Qt6::Core Qt6::Gui)
