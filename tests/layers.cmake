# The layers' arrows point one way: base knows nothing above it and no display or toolkit, the
# core knows only base, the windows reach the platform only through base's interfaces.
# Run as: cmake -DSRC=<src folder> -P layers.cmake
set(rules
  "base|#include [<\"](X11/|Q|qt|core/|platform/|ui/|wayland)"
  "core|#include [<\"](X11/|Q|qt|platform/|ui/|wayland)"
  "ui|#include [<\"](X11/|platform/|wayland)"
  "cli|#include [<\"](Q|qt|ui/)"
  "platform|#include [<\"](core/|ui/|Qt?Widgets|QWidget|QApplication)")
set(broken "")
foreach(rule ${rules})
  string(REPLACE "|" ";" parts "${rule}")
  list(GET parts 0 layer)
  string(REGEX REPLACE "^[a-z]+\\|" "" pattern "${rule}")
  file(GLOB_RECURSE files "${SRC}/${layer}/*.h" "${SRC}/${layer}/*.cpp")
  foreach(f ${files})
    file(STRINGS "${f}" lines REGEX "${pattern}")
    foreach(line ${lines})
      string(APPEND broken "${f}: ${line}\n")
    endforeach()
  endforeach()
endforeach()
if(broken)
  message(FATAL_ERROR "Includes across the layers:\n${broken}")
endif()
message(STATUS "layers: no include crosses a layer the wrong way")
