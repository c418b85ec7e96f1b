# The KWin ScreenShot2 and screenshot-portal sources (kvr_dbus_sources): QtGui (no widgets) for
# the portal's PNG, Qt D-Bus, moc for the portal's signal receivers; and the client code of the
# protocols that tell the outputs and their order (xdg-output, kde-output-order) and KWin's
# windows (plasma-window-management), which
# kvr_wayland holds. The program loads them as the module kvr-dbus (dbus_module.cpp), so that
# the other sessions never load Qt.
find_package(Qt6 REQUIRED COMPONENTS Core Gui DBus)
pkg_get_variable(KVR_WAYLAND_PROTOCOLS_DIR wayland-protocols pkgdatadir)
find_path(KVR_PLASMA_PROTOCOLS_DIR kde-output-order-v1.xml
          PATHS /usr/share/plasma-wayland-protocols REQUIRED)

set(KVR_KWIN_PORTAL_GEN ${CMAKE_CURRENT_BINARY_DIR}/kvr_kwin_portal_protocols)
file(MAKE_DIRECTORY ${KVR_KWIN_PORTAL_GEN})
set(KVR_KWIN_PORTAL_PROTOCOL_SOURCES)
foreach(xml ${KVR_WAYLAND_PROTOCOLS_DIR}/unstable/xdg-output/xdg-output-unstable-v1.xml
            ${KVR_PLASMA_PROTOCOLS_DIR}/kde-output-order-v1.xml
            ${KVR_PLASMA_PROTOCOLS_DIR}/plasma-window-management.xml)
  get_filename_component(base ${xml} NAME_WE)
  add_custom_command(
    OUTPUT ${KVR_KWIN_PORTAL_GEN}/${base}-client-protocol.h ${KVR_KWIN_PORTAL_GEN}/${base}-protocol.c
    COMMAND sh ${PROJECT_SOURCE_DIR}/cmake/wayland-scan.sh ${WAYLAND_SCANNER} client-header ${xml}
            ${KVR_KWIN_PORTAL_GEN}/${base}-client-protocol.h
    COMMAND sh ${PROJECT_SOURCE_DIR}/cmake/wayland-scan.sh ${WAYLAND_SCANNER} private-code ${xml}
            ${KVR_KWIN_PORTAL_GEN}/${base}-protocol.c
    DEPENDS ${xml} ${PROJECT_SOURCE_DIR}/cmake/wayland-scan.sh VERBATIM)
  list(APPEND KVR_KWIN_PORTAL_PROTOCOL_SOURCES ${KVR_KWIN_PORTAL_GEN}/${base}-client-protocol.h
       ${KVR_KWIN_PORTAL_GEN}/${base}-protocol.c)
endforeach()

target_sources(kvr_wayland PRIVATE ${KVR_KWIN_PORTAL_PROTOCOL_SOURCES})
target_include_directories(kvr_wayland PRIVATE ${KVR_KWIN_PORTAL_GEN})

add_library(kvr_dbus_sources STATIC ${CMAKE_CURRENT_LIST_DIR}/kwin_source.cpp
                                    ${CMAKE_CURRENT_LIST_DIR}/portal_source.cpp
                                    ${CMAKE_CURRENT_LIST_DIR}/portal_file.cpp)
set_target_properties(kvr_dbus_sources PROPERTIES AUTOMOC ON)
target_link_libraries(kvr_dbus_sources PUBLIC kvr_wayland kvr_peer_replies Qt6::Core Qt6::Gui Qt6::DBus)

# The module: one entry (kvr_dbus_source), everything else hidden, so its copies of the static
# libraries never stand in for the program's own.
add_library(kvr_dbus_module MODULE ${CMAKE_CURRENT_LIST_DIR}/dbus_module.cpp)
set_target_properties(kvr_dbus_module PROPERTIES OUTPUT_NAME kvr-dbus PREFIX ""
                      LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
target_link_libraries(kvr_dbus_module PRIVATE kvr_dbus_sources)
target_link_options(kvr_dbus_module PRIVATE LINKER:--exclude-libs,ALL ${KVR_MODULE_NO_UNDEFINED})
