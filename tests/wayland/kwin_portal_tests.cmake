# Tests of the KWin ScreenShot2 and screenshot-portal sources, in headless KWin and GNOME
# sessions of the Wayland fixture. Included from tests/wayland/CMakeLists.txt.

# The program the tests run inside a session as its user: one grab, written as PNG.
add_executable(kvr_wl_grab ${CMAKE_CURRENT_LIST_DIR}/wl_grab.cpp)
target_link_libraries(kvr_wl_grab PRIVATE kvr_wayland)
