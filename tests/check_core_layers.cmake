# Keeps the two libraries apart by folder and file name. Windows live in app/, or are
# named frm* (a window beside its data side or rules in editors/, monitor/ or flash/), with
# the widget prompts in platform/qtprompts; everything else is core. A core file (listed
# or not) may include no widget header and nothing that belongs to the windows, and each
# library's sources must be on its own side. CORE and APP list the libraries' sources
# (";" replaced by "|").
string(REPLACE "|" ";" core "${CORE}")
string(REPLACE "|" ";" app "${APP}")

function(is_window_file rel out)
  if(rel MATCHES "^app/" OR rel MATCHES "(^|/)frm[^/]*$" OR rel MATCHES "^platform/qtprompts\\.")
    set(${out} TRUE PARENT_SCOPE)
  else()
    set(${out} FALSE PARENT_SCOPE)
  endif()
endfunction()

set(bad "")
foreach(rel ${core})
  is_window_file("${rel}" win)
  if(win)
    list(APPEND bad "${rel} (a window's file in the core library)")
  endif()
endforeach()
foreach(rel ${app})
  is_window_file("${rel}" win)
  if(NOT win)
    list(APPEND bad "${rel} (a core file in the window library)")
  endif()
endforeach()

set(widgets "#include[ \t]*<Q(Widget|Dialog|MainWindow|MessageBox|Application|PushButton|Label|LineEdit|ListWidget|FileDialog|InputDialog|StatusBar|ToolBar|Menu|Action|Printer|ComboBox|CheckBox|SpinBox)|#include[ \t]*<Qt(Widgets|PrintSupport)")
set(windows "#include[ \t]*\"app/|#include[ \t]*\"([a-z]+/)*frm|#include[ \t]*\"platform/qtprompts")
file(GLOB_RECURSE all RELATIVE "${SRC}" "${SRC}/*.h" "${SRC}/*.cpp")
foreach(rel ${all})
  is_window_file("${rel}" win)
  if(win OR rel STREQUAL "main.cpp")
    continue()
  endif()
  file(STRINGS "${SRC}/${rel}" hits REGEX "${widgets}|${windows}")
  if(hits)
    list(APPEND bad "${rel} (${hits})")
  endif()
endforeach()
if(bad)
  list(JOIN bad "\n  " text)
  message(FATAL_ERROR "the core and the windows are mixed:\n  ${text}")
endif()
message(STATUS "the core is free of widgets and windows")
