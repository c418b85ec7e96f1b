# The Wayland screen sources: wlroots screencopy with sway's IPC (kvr_wayland, no Qt: a shot on
# sway pays for no toolkit), and KWin and the desktop portal over D-Bus (kvr_dbus_sources, Qt,
# loaded as the module kvr-dbus only in the sessions that need them). Included from the
# top-level CMakeLists.txt.
find_package(PkgConfig REQUIRED)
pkg_check_modules(WAYLAND_CLIENT REQUIRED IMPORTED_TARGET wayland-client)
pkg_check_modules(JSONC REQUIRED IMPORTED_TARGET json-c)
find_program(WAYLAND_SCANNER wayland-scanner REQUIRED)

# Client code of the protocols Debian ships no XML for; the XML is kept in protocols/.
set(KVR_WL_PROTOCOL_DIR ${CMAKE_CURRENT_LIST_DIR}/protocols)
set(KVR_WL_GEN_DIR ${CMAKE_CURRENT_BINARY_DIR}/wayland-protocols)
file(MAKE_DIRECTORY ${KVR_WL_GEN_DIR})
set(KVR_WL_GENERATED)
# xdg-shell from Debian's wayland-protocols: the layer shell's popup request names its interface.
pkg_check_modules(WAYLAND_PROTOCOLS REQUIRED wayland-protocols)
pkg_get_variable(KVR_WL_SYSTEM_PROTOCOLS wayland-protocols pkgdatadir)
foreach(xml ${KVR_WL_PROTOCOL_DIR}/wlr-screencopy-unstable-v1.xml
        ${KVR_WL_PROTOCOL_DIR}/wlr-data-control-unstable-v1.xml
        ${KVR_WL_PROTOCOL_DIR}/wlr-layer-shell-unstable-v1.xml
        ${KVR_WL_SYSTEM_PROTOCOLS}/stable/xdg-shell/xdg-shell.xml)
  get_filename_component(protocol ${xml} NAME_WE)
  add_custom_command(
    OUTPUT ${KVR_WL_GEN_DIR}/${protocol}-client-protocol.h ${KVR_WL_GEN_DIR}/${protocol}-protocol.c
    COMMAND ${WAYLAND_SCANNER} client-header ${xml} ${KVR_WL_GEN_DIR}/${protocol}-client-protocol.h
    COMMAND ${WAYLAND_SCANNER} private-code ${xml} ${KVR_WL_GEN_DIR}/${protocol}-protocol.c
    DEPENDS ${xml}
    COMMENT "wayland-scanner ${protocol}")
  list(APPEND KVR_WL_GENERATED ${KVR_WL_GEN_DIR}/${protocol}-client-protocol.h
       ${KVR_WL_GEN_DIR}/${protocol}-protocol.c)
endforeach()
# The generated code is C; compiled as such, whatever languages the project enabled.
enable_language(C)

file(GLOB KVR_WAYLAND_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
list(REMOVE_ITEM KVR_WAYLAND_SOURCES ${CMAKE_CURRENT_LIST_DIR}/kwin_source.cpp
     ${CMAKE_CURRENT_LIST_DIR}/portal_source.cpp ${CMAKE_CURRENT_LIST_DIR}/portal_file.cpp
     ${CMAKE_CURRENT_LIST_DIR}/dbus_module.cpp)
add_library(kvr_wayland STATIC ${KVR_WAYLAND_SOURCES} ${KVR_WL_GENERATED})
target_include_directories(kvr_wayland PRIVATE ${KVR_WL_GEN_DIR})
include(${CMAKE_CURRENT_LIST_DIR}/replies/replies.cmake)
target_link_libraries(kvr_wayland PUBLIC kvr_base kvr_sway_reply PkgConfig::WAYLAND_CLIENT)
include(${CMAKE_CURRENT_LIST_DIR}/kwin_portal.cmake)
