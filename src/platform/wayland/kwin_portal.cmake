# The KWin ScreenShot2 and screenshot-portal sources, added to kvr_wayland (made in wayland.cmake).
# They speak D-Bus through Qt, decode the portal's PNG with QtGui (no widgets), and ask the
# compositor for its outputs and their order over Wayland (xdg-output, kde-output-order).
find_package(Qt6 REQUIRED COMPONENTS Core Gui DBus)
pkg_check_modules(KVR_WAYLAND_CLIENT REQUIRED IMPORTED_TARGET wayland-client)
pkg_get_variable(KVR_WAYLAND_SCANNER wayland-scanner wayland_scanner)
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
    COMMAND ${KVR_WAYLAND_SCANNER} client-header ${xml} ${KVR_KWIN_PORTAL_GEN}/${base}-client-protocol.h
    COMMAND ${KVR_WAYLAND_SCANNER} private-code ${xml} ${KVR_KWIN_PORTAL_GEN}/${base}-protocol.c
    DEPENDS ${xml} VERBATIM)
  list(APPEND KVR_KWIN_PORTAL_PROTOCOL_SOURCES ${KVR_KWIN_PORTAL_GEN}/${base}-client-protocol.h
       ${KVR_KWIN_PORTAL_GEN}/${base}-protocol.c)
endforeach()
# The generated glue is C; compile it as such inside this C++ project.
set_source_files_properties(${KVR_KWIN_PORTAL_PROTOCOL_SOURCES} PROPERTIES LANGUAGE C)
enable_language(C)

target_sources(kvr_wayland PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/kwin_source.cpp
  ${CMAKE_CURRENT_LIST_DIR}/portal_source.cpp
  ${CMAKE_CURRENT_LIST_DIR}/portal_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wayland_outputs.cpp
  ${KVR_KWIN_PORTAL_PROTOCOL_SOURCES})
set_target_properties(kvr_wayland PROPERTIES AUTOMOC ON)
target_include_directories(kvr_wayland PRIVATE ${KVR_KWIN_PORTAL_GEN})
target_link_libraries(kvr_wayland PUBLIC Qt6::Core Qt6::Gui Qt6::DBus PkgConfig::KVR_WAYLAND_CLIENT)
