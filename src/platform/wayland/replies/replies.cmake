# What other processes send (sway's JSON, KWin's maps, the portal's URI) read by pure functions,
# as the static library kvr_peer_replies: the Wayland sources use it, and so do the fuzz targets,
# which build without the rest of the platform.
add_library(kvr_peer_replies STATIC ${CMAKE_CURRENT_LIST_DIR}/sway_reply.cpp
                                    ${CMAKE_CURRENT_LIST_DIR}/kwin_reply.cpp
                                    ${CMAKE_CURRENT_LIST_DIR}/portal_reply.cpp)
target_link_libraries(kvr_peer_replies PUBLIC kvr_base Qt6::Core Qt6::Gui)
