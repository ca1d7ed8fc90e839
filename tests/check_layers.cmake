# Checks that the build's layer rule holds. From each folder's include path
# (its view) every header of every folder it uses compiles, its own
# included: one file including them all, so a wrong include in any header
# fails; a header of any other folder is not found. No include of a layer or
# unit names more than one folder ("calls/engine/x.h" would reach through
# the view of calls/ into engine/). Arguments: -DCXX=<compiler>
# -DROOT=<source dir> -DLAYERS=<build dir of the layer include paths>.
include(${ROOT}/cmake/morvik_layers.cmake)

set(failed FALSE)

# Compiles a file including `headers` (paths under the source root) from the
# include view `view`; `allowed` says whether it must compile.
function(probe view name allowed)
  # Not beside the views: an include resolves from the including file's
  # folder first.
  set(file ${LAYERS}/probes/${view}_${name}.cpp)
  set(text "")
  foreach(header ${ARGN})
    string(APPEND text "#include \"${header}\"\n")
  endforeach()
  file(WRITE ${file} "${text}")
  execute_process(COMMAND ${CXX} -std=c++20 -fsyntax-only -I${LAYERS}/${view} ${file}
                  RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
  if(allowed AND NOT rc EQUAL 0)
    message(SEND_ERROR "${view} cannot include ${ARGN}:\n${err}")
    set(failed TRUE PARENT_SCOPE)
  elseif(NOT allowed AND rc EQUAL 0)
    message(SEND_ERROR "${view} can include ${ARGN}, which it must not use")
    set(failed TRUE PARENT_SCOPE)
  endif()
endfunction()

# The headers of `folder` as include paths ("engine/simulate.h"), sorted.
function(folder_headers out folder)
  file(GLOB paths RELATIVE ${ROOT} ${ROOT}/${folder}/*.h)
  list(SORT paths)
  set(${out} ${paths} PARENT_SCOPE)
endfunction()

# Probes the view `view`, whose folder uses the entries `uses` (folders, or
# single files as <folder>/<file>.h), against every folder of `folders`: one
# file of all the headers it may include must compile, and the first header
# of each folder it may not include must not be found.
function(probe_view view uses folders)
  set(allowed_headers)
  foreach(other ${folders})
    folder_headers(headers ${other})
    list(FIND uses ${other} whole)
    set(denied)
    foreach(header ${headers})
      list(FIND uses ${header} single)
      if(whole GREATER -1 OR single GREATER -1)
        list(APPEND allowed_headers ${header})
      else()
        list(APPEND denied ${header})
      endif()
    endforeach()
    if(denied)
      list(GET denied 0 first)
      probe(${view} ${other} FALSE ${first})
    endif()
  endforeach()
  probe(${view} all TRUE ${allowed_headers})
  set(failed ${failed} PARENT_SCOPE)
endfunction()

foreach(layer ${MORVIK_LAYERS})
  probe_view(${layer} "${layer};${MORVIK_USES_${layer}}" "${MORVIK_LAYERS}")
endforeach()
# The units above the library: each sees exactly the folders of its view,
# and no layer of the library sees any unit. A unit whose view was not built
# (tools off) is skipped.
foreach(unit ${MORVIK_UNITS})
  if(NOT EXISTS ${LAYERS}/${unit})
    continue()
  endif()
  probe_view(${unit} "${MORVIK_VIEW_${unit}}" "${MORVIK_LAYERS};${MORVIK_UNITS}")
  foreach(layer ${MORVIK_LAYERS})
    folder_headers(headers ${unit})
    list(GET headers 0 first)
    probe(${layer} ${unit} FALSE ${first})
  endforeach()
endforeach()

# An include names one folder and one file.
foreach(folder ${MORVIK_LAYERS} ${MORVIK_UNITS})
  file(GLOB sources ${ROOT}/${folder}/*.h ${ROOT}/${folder}/*.cpp)
  foreach(source ${sources})
    file(STRINGS ${source} deep REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"/]*/[^\"/]*/")
    if(deep)
      message(SEND_ERROR "${source} includes through a folder of another: ${deep}")
      set(failed TRUE)
    endif()
  endforeach()
endforeach()

if(failed)
  message(FATAL_ERROR "layer rule broken")
endif()
