# Installing Kelvoro like any desktop program: the program, its menu entry, icons, AppStream
# metainfo, man page and package documents; and the Debian package made from the same rules.
include(GNUInstallDirs)

set(KVR_APP_ID org.example.kelvoro)

# A program that finds this file beside itself runs where it was built and keeps kvr.ini beside
# itself (see src/core/settings_location.h). Written into the build folder only, never installed.
function(kvr_mark_build_folder target)
  file(GENERATE OUTPUT "$<TARGET_FILE_DIR:${target}>/kvr.build-tree"
       CONTENT "This folder holds a program built here; it keeps kvr.ini beside itself.\n")
endfunction()
kvr_mark_build_folder(kvr)

# Debian wants the man page and the changelog compressed, reproducibly (no name, no time).
set(KVR_MAN_PAGE ${CMAKE_CURRENT_BINARY_DIR}/kvr.1.gz)
set(KVR_CHANGELOG ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${KVR_MAN_PAGE}
  COMMAND sh -c "gzip -9n -c \"$0\" > \"$1\"" ${CMAKE_CURRENT_SOURCE_DIR}/resources/kvr.1
          ${KVR_MAN_PAGE}
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/resources/kvr.1 VERBATIM)
add_custom_command(OUTPUT ${KVR_CHANGELOG}
  COMMAND sh -c "gzip -9n -c \"$0\" > \"$1\"" ${CMAKE_CURRENT_SOURCE_DIR}/packaging/changelog
          ${KVR_CHANGELOG}
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/packaging/changelog VERBATIM)
add_custom_target(kvr_documents ALL DEPENDS ${KVR_MAN_PAGE} ${KVR_CHANGELOG})

# Debian's hardening for what gets installed: checked string and memory calls (needs the
# optimiser), and every symbol bound at start so that the relocations can be made read-only.
foreach(target kvr kvr_ui kvr_core kvr_base kvr_platform kvr_cli kvr_wayland kvr_dbus_sources
               kvr_window kvr_dbus_module)
  if(TARGET ${target})
    target_compile_definitions(${target} PRIVATE $<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
  endif()
endforeach()
foreach(target kvr kvr_window kvr_dbus_module)
  target_link_options(${target} PRIVATE LINKER:-z,relro,-z,now)
endforeach()

install(TARGETS kvr RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The window and the D-Bus sources, loaded by kvr when needed (platform/module.h).
install(TARGETS kvr_window kvr_dbus_module LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/kelvoro)
install(FILES resources/${KVR_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(DIRECTORY resources/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
install(FILES ${KVR_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# bash completion of the command line (kvr --shot ...), loaded on demand by bash-completion.
install(FILES resources/kvr.bash-completion DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME kvr)
install(FILES packaging/copyright ${KVR_CHANGELOG} DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The menu entry names the installed program by its full path (KWin matches the caller's path
# against Exec= before it grants ScreenShot2), and the prefix is only known at install time:
# `cmake --install --prefix`, `make install PREFIX=...`, or /usr in the package. So the entry is
# written straight into its place then, and recorded in the install manifest.
set(KVR_DESKTOP_IN ${CMAKE_CURRENT_SOURCE_DIR}/resources/${KVR_APP_ID}.desktop.in)
install(CODE "
  set(KVR_EXEC \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/kvr\")
  set(entry \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications/${KVR_APP_ID}.desktop\")
  message(STATUS \"Installing: \${entry}\")
  configure_file(\"${KVR_DESKTOP_IN}\" \"\${entry}\" @ONLY)
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${entry}\")
")

# Generator of the icons in every size; run by hand, its output is kept in resources/icons/.
add_executable(kvr_app_icons EXCLUDE_FROM_ALL tools/app_icons.cpp)
target_link_libraries(kvr_app_icons PRIVATE Qt6::Gui)

# `make deb`: a Debian package from the rules above. Installing (and so cpack) builds nothing
# itself: `make deb` builds the program first, not the whole test suite.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kelvoro)
set(CPACK_PACKAGE_VENDOR "Kelvoro Project")
set(CPACK_PACKAGE_CONTACT "Kelvoro Project <kelvoro@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "capture the screen or the window in front, after a self-timer")
# The summary above is the synopsis line; this is the extended description under it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Kelvoro is a small screen-capture utility for X11 and Wayland desktops
(sway and other wlroots compositors, KDE Plasma, GNOME): one compact window
where you choose what to capture (the whole primary screen or the window in
front), the format (JPEG, PNG or BMP) and a self-timer of 1 to 30 seconds.
“Shot” minimises the program, counts down in its taskbar title, writes a
numbered picture into the output folder and brings the program back.")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://kelvoro.example.org/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window's Japanese texts need a Japanese font; the About box's links open through xdg-open;
# the folder chooser speaks Japanese with Qt's translations and is the desktop's through the
# portal theme; bash completes the command line with bash-completion.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "fonts-ipafont-gothic | fonts-noto-cjk, xdg-utils, qt6-translations-l10n, qt6-xdgdesktopportal-platformtheme, bash-completion")
# The command line: its notification loads libdbus when it sends one (not seen by shlibdeps);
# on GNOME its clipboard is served by wl-copy.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libdbus-1-3")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "wl-clipboard")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_PREFIX /usr)
# Install with DESTDIR, so that the install-time prefix (and the entry's Exec=) is /usr.
set(CPACK_SET_DESTDIR ON)
# Debian's own ownership and modes, whatever the build folder's umask was.
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
