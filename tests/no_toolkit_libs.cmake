# Fails when the program itself links the toolkit: the command line must not pay for the window
# (kvr-window.so) nor the D-Bus sources (kvr-dbus.so), which it loads only when they are needed.
# -DBINARY=<the executable>
execute_process(COMMAND ldd ${BINARY} OUTPUT_VARIABLE libs RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "ldd ${BINARY} failed")
endif()
string(REGEX MATCHALL "lib(Qt6[A-Za-z]*|dbus-1|systemd)\\.so[.0-9]*" found "${libs}")
if(found)
  list(REMOVE_DUPLICATES found)
  message(FATAL_ERROR "${BINARY} links ${found}")
endif()
