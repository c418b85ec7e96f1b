# Tests of the KWin ScreenShot2 and screenshot-portal sources, in headless KWin and GNOME
# sessions of the Wayland fixture. Included from tests/wayland/CMakeLists.txt.

# The program the tests run inside a session as its user: one grab, written as PNG.
add_executable(kvr_wl_grab ${CMAKE_CURRENT_LIST_DIR}/wl_grab.cpp)
target_link_libraries(kvr_wl_grab PRIVATE kvr_dbus_sources)

# What needs no session: the portal file's handling, the output choice, the portal picture's cut.
add_executable(wayland_source_unit_tests ${CMAKE_CURRENT_LIST_DIR}/portal_file_test.cpp
                                         ${CMAKE_CURRENT_LIST_DIR}/output_layout_test.cpp)
target_link_libraries(wayland_source_unit_tests PRIVATE kvr_dbus_sources kvr_testsupport GTest::gtest_main)
gtest_discover_tests(wayland_source_unit_tests DISCOVERY_TIMEOUT 30)

# On a headless KWin (one session of one output, one of two).
add_executable(kwin_source_tests ${CMAKE_CURRENT_LIST_DIR}/kwin_source_test.cpp)
target_link_libraries(kwin_source_tests PRIVATE kvr_wayland_testsupport kvr_dbus_sources Qt6::Gui
                      GTest::gtest_main)
target_compile_definitions(kwin_source_tests PRIVATE KVR_WL_GRAB="$<TARGET_FILE:kvr_wl_grab>")
add_dependencies(kwin_source_tests kvr_wl_grab)
add_test(NAME kwin_source_tests COMMAND kwin_source_tests)
set_tests_properties(kwin_source_tests PROPERTIES TIMEOUT 300)

# On a headless GNOME Shell, through its screenshot portal.
add_executable(portal_source_tests ${CMAKE_CURRENT_LIST_DIR}/portal_source_test.cpp)
target_link_libraries(portal_source_tests PRIVATE kvr_wayland_testsupport kvr_dbus_sources Qt6::Gui
                      GTest::gtest_main)
target_compile_definitions(portal_source_tests PRIVATE
                           KVR_WL_GRAB="$<TARGET_FILE:kvr_wl_grab>"
                           KVR_ATSPI_DRIVE="${CMAKE_CURRENT_LIST_DIR}/atspi_drive.py")
add_dependencies(portal_source_tests kvr_wl_grab)
add_test(NAME portal_source_tests COMMAND portal_source_tests)
set_tests_properties(portal_source_tests PROPERTIES TIMEOUT 300)

# Against peers that answer badly on purpose: a fake portal and KWin on a private bus
# (hostile_peer.py, python3-dbus), and a fake sway socket.
add_executable(hostile_peer_tests ${CMAKE_CURRENT_LIST_DIR}/hostile_peer_test.cpp)
target_link_libraries(hostile_peer_tests PRIVATE kvr_dbus_sources kvr_testsupport Qt6::DBus Qt6::Gui
                      GTest::gtest_main)
target_compile_definitions(hostile_peer_tests PRIVATE
                           KVR_HOSTILE_PEER="${CMAKE_CURRENT_LIST_DIR}/hostile_peer.py")
add_test(NAME hostile_peer_tests COMMAND hostile_peer_tests)
set_tests_properties(hostile_peer_tests PROPERTIES TIMEOUT 300)
