# Fails when a test binary that must run without a display links a display or toolkit library.
# -DBINARY=<the executable>
execute_process(COMMAND ldd ${BINARY} OUTPUT_VARIABLE libs RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "ldd ${BINARY} failed")
endif()
string(REGEX MATCHALL "lib(X[A-Za-z0-9]*|xcb[-a-z0-9]*|Qt6[A-Za-z]*|wayland-[a-z]*)\\.so[.0-9]*"
       found "${libs}")
if(found)
  list(REMOVE_DUPLICATES found)
  message(FATAL_ERROR "${BINARY} links ${found}: it must run without a display")
endif()
