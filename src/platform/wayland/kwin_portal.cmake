# What the KWin ScreenShot2 and screenshot-portal sources add to kvr_wayland (wayland.cmake takes
# their .cpp files): QtGui (no widgets) for the portal's PNG, moc for the portal's signal
# receivers, and the client code of the protocols that tell the outputs and their order
# (xdg-output, kde-output-order).
find_package(Qt6 REQUIRED COMPONENTS Core Gui DBus)
pkg_get_variable(KVR_WAYLAND_PROTOCOLS_DIR wayland-protocols pkgdatadir)
find_path(KVR_PLASMA_PROTOCOLS_DIR kde-output-order-v1.xml
          PATHS /usr/share/plasma-wayland-protocols REQUIRED)

set(KVR_KWIN_PORTAL_GEN ${CMAKE_CURRENT_BINARY_DIR}/kvr_kwin_portal_protocols)
file(MAKE_DIRECTORY ${KVR_KWIN_PORTAL_GEN})
set(KVR_KWIN_PORTAL_PROTOCOL_SOURCES)
foreach(xml ${KVR_WAYLAND_PROTOCOLS_DIR}/unstable/xdg-output/xdg-output-unstable-v1.xml
            ${KVR_PLASMA_PROTOCOLS_DIR}/kde-output-order-v1.xml)
  get_filename_component(base ${xml} NAME_WE)
  add_custom_command(
    OUTPUT ${KVR_KWIN_PORTAL_GEN}/${base}-client-protocol.h ${KVR_KWIN_PORTAL_GEN}/${base}-protocol.c
    COMMAND ${WAYLAND_SCANNER} client-header ${xml} ${KVR_KWIN_PORTAL_GEN}/${base}-client-protocol.h
    COMMAND ${WAYLAND_SCANNER} private-code ${xml} ${KVR_KWIN_PORTAL_GEN}/${base}-protocol.c
    DEPENDS ${xml} VERBATIM)
  list(APPEND KVR_KWIN_PORTAL_PROTOCOL_SOURCES ${KVR_KWIN_PORTAL_GEN}/${base}-client-protocol.h
       ${KVR_KWIN_PORTAL_GEN}/${base}-protocol.c)
endforeach()

target_sources(kvr_wayland PRIVATE ${KVR_KWIN_PORTAL_PROTOCOL_SOURCES})
set_target_properties(kvr_wayland PROPERTIES AUTOMOC ON)
target_include_directories(kvr_wayland PRIVATE ${KVR_KWIN_PORTAL_GEN})
target_link_libraries(kvr_wayland PUBLIC Qt6::Gui)
