# kvr_oneshot: one shot through the code shotNow runs, from the session's source, to PATH (.jpg
# or .bmp); the one-process side of the comparison with other tools. Not part of the product.
add_executable(kvr_oneshot ${CMAKE_CURRENT_LIST_DIR}/oneshot.cpp)
target_link_libraries(kvr_oneshot PRIVATE kvr_core kvr_platform)
add_dependencies(kvr_oneshot kvr_dbus_module)
# Linked as kvr is, so that both measure the same process.
if(NOT KVR_SANITIZE)
  target_link_options(kvr_oneshot PRIVATE -static-libstdc++)
endif()
set_target_properties(kvr_oneshot PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

# kvr_bench: paints photo-like content on the display, times each stage and whole shots in one
# process, and races kvr_oneshot against scrot.
add_executable(kvr_bench ${CMAKE_CURRENT_LIST_DIR}/bench.cpp ${CMAKE_CURRENT_LIST_DIR}/paint.cpp
                         ${CMAKE_CURRENT_LIST_DIR}/photo.cpp)
target_link_libraries(kvr_bench PRIVATE kvr_core kvr_platform)
set_target_properties(kvr_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

# kvr_wl_bench: kvr_oneshot in headless sway (against grim), KWin and GNOME sessions, started by
# the tests' own session fixture.
add_executable(kvr_wl_bench ${CMAKE_CURRENT_LIST_DIR}/wayland_bench.cpp
                            ${CMAKE_CURRENT_LIST_DIR}/photo.cpp)
target_link_libraries(kvr_wl_bench PRIVATE kvr_wayland_testsupport Qt6::Gui)
target_compile_definitions(kvr_wl_bench PRIVATE KVR_ONESHOT="$<TARGET_FILE:kvr_oneshot>"
                           KVR_PROGRAM="$<TARGET_FILE:kvr>" KVR_BENCH="$<TARGET_FILE:kvr_bench>")
add_dependencies(kvr_wl_bench kvr_oneshot kvr kvr_bench)
set_target_properties(kvr_wl_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

# kvr_format_bench: the lossless writers into memory on the photo-like and plain desktops; the
# measurement behind WebP's effort setting.
add_executable(kvr_format_bench ${CMAKE_CURRENT_LIST_DIR}/formats.cpp
                                ${CMAKE_CURRENT_LIST_DIR}/photo.cpp)
target_link_libraries(kvr_format_bench PRIVATE kvr_core)
set_target_properties(kvr_format_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
