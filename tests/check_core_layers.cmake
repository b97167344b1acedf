# The quick message when the layers are mixed; the linker keeps them too (each layer's
# library links alone), but this names the include at fault.
#
# Folders are layers: platform/ at the bottom; link/ and model/ on the platform; control/
# on those three; and on top app/, editors/ and monitor/ (the windows, frm*, and the rules
# beside them), with the widget prompts in platform/qtprompts. A file includes only its
# own layer and those below it, however the include is written: in quotes or angle
# brackets, from the source root, beside the file, or through "..". Outside the windows
# nothing includes a widget header or a window. PLATFORM, LINK, MODEL, CONTROL and APP list each
# library's sources (";" replaced by "|"), which must lie in the library's own folder.

function(is_window_file rel out)
  if(rel MATCHES "^app/" OR rel MATCHES "(^|/)frm[^/]*$" OR rel MATCHES "^platform/qtprompts\\.")
    set(${out} TRUE PARENT_SCOPE)
  else()
    set(${out} FALSE PARENT_SCOPE)
  endif()
endfunction()

# The layer a path under the source root belongs to: platform, link, model, control, or
# top for everything above them.
function(layer_of rel out)
  if(rel MATCHES "^platform/qtprompts\\.")
    set(${out} top PARENT_SCOPE)
  elseif(rel MATCHES "^(platform|link|model|control)/")
    string(REGEX REPLACE "/.*" "" layer "${rel}")
    set(${out} ${layer} PARENT_SCOPE)
  else()
    set(${out} top PARENT_SCOPE)
  endif()
endfunction()

set(bad "")

# Each library's sources lie on its own side.
foreach(lib PLATFORM LINK MODEL CONTROL APP)
  string(REPLACE "|" ";" sources "${${lib}}")
  string(TOLOWER "${lib}" want)
  if(want STREQUAL "app")
    set(want top)
  endif()
  foreach(rel ${sources})
    layer_of("${rel}" layer)
    if(NOT layer STREQUAL want)
      list(APPEND bad "${rel} (a ${layer} file in the ${want} library)")
    endif()
  endforeach()
endforeach()

set(allowed_platform "platform")
set(allowed_link "platform|link")
set(allowed_model "platform|model")
set(allowed_control "platform|link|model|control")
set(widgets "^Q(Widget|Dialog|MainWindow|MessageBox|Application|PushButton|Label|LineEdit|ListWidget|FileDialog|InputDialog|StatusBar|ToolBar|Menu|Action|Printer|ComboBox|CheckBox|SpinBox)|^Qt(Widgets|PrintSupport)")

file(GLOB_RECURSE all RELATIVE "${SRC}" "${SRC}/*.h" "${SRC}/*.cpp")
foreach(rel ${all})
  # The windows stand on everything; the rules beside them stand on everything but
  # widgets, so that they are tested without a window.
  is_window_file("${rel}" win)
  if(win OR rel STREQUAL "main.cpp")
    continue()
  endif()
  layer_of("${rel}" layer)
  get_filename_component(dir "${rel}" DIRECTORY)
  file(STRINGS "${SRC}/${rel}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
  foreach(line ${includes})
    string(REGEX REPLACE "^[^<\"]*[<\"]([^>\"]*)[>\"].*" "\\1" target "${line}")
    if(target MATCHES "${widgets}")
      list(APPEND bad "${rel} includes <${target}> (a widget outside the windows)")
      continue()
    endif()
    # Where the compiler finds it: a quoted include beside the file first, then from
    # the source root; ".." is resolved before the layer is read.
    if(line MATCHES "\"" AND EXISTS "${SRC}/${dir}/${target}")
      set(path "${SRC}/${dir}/${target}")
    else()
      set(path "${SRC}/${target}")
    endif()
    get_filename_component(path "${path}" ABSOLUTE)
    file(RELATIVE_PATH found "${SRC}" "${path}")
    if(found MATCHES "^\\.\\./" OR NOT EXISTS "${path}")
      continue() # not ours: Qt, the standard library, GoogleTest
    endif()
    layer_of("${found}" to)
    if(layer STREQUAL "top")
      is_window_file("${found}" win)
      if(win)
        list(APPEND bad "${rel} includes ${target} (a window)")
      endif()
    elseif(NOT to MATCHES "^(${allowed_${layer}})$")
      list(APPEND bad "${rel} includes ${target} (${to})")
    endif()
  endforeach()
endforeach()

if(bad)
  list(JOIN bad "\n  " text)
  message(FATAL_ERROR "an include runs back up the layers:\n  ${text}")
endif()
message(STATUS "the layers platform, link, model, control and the windows run one way")
