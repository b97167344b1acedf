# Runs the layer check on small source trees: one clean, and one per spelling of an
# include from the model up into control, each of which must fail the check by name.
function(make_tree name model_line)
  set(root "${WORK}/${name}")
  file(REMOVE_RECURSE "${root}")
  file(WRITE "${root}/control/session.h" "#pragma once\n#include \"model/model.h\"\n")
  file(WRITE "${root}/model/model.h" "#pragma once\n#include \"platform/prompts.h\"\n#include <QString>\n")
  file(WRITE "${root}/platform/prompts.h" "#pragma once\n")
  file(WRITE "${root}/model/slip.cpp" "#include \"model/model.h\"\n${model_line}\n")
  execute_process(COMMAND ${CMAKE_COMMAND} -DSRC=${root} -P ${CHECK}
                  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
  set(result ${result} PARENT_SCOPE)
  set(out "${out}" PARENT_SCOPE)
endfunction()

make_tree(clean "#include \"platform/prompts.h\"")
if(NOT result EQUAL 0)
  message(FATAL_ERROR "a clean tree failed the check:\n${out}")
endif()

foreach(spelling "#include \"control/session.h\"" "#include <control/session.h>"
                 "#include \"model/../control/session.h\"" "#include \"../control/session.h\"")
  string(MD5 name "${spelling}")
  make_tree(${name} "${spelling}")
  if(result EQUAL 0 OR NOT out MATCHES "model/slip.cpp includes [^\n]*control/session.h")
    message(FATAL_ERROR "the check let `${spelling}` in src/model pass:\n${out}")
  endif()
endforeach()
message(STATUS "every spelling of an upward include fails the check")
