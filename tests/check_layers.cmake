# Checks that the build's layer rule holds: from each layer's include path a
# header of every layer it uses compiles, and a header of any other layer is
# not found. Arguments: -DCXX=<compiler> -DROOT=<source dir> -DLAYERS=<build
# dir of the layer include paths>.
include(${ROOT}/cmake/morvik_layers.cmake)

set(failed FALSE)

# Checks whether a file including the first header of folder `other`
# compiles from the include view `view`; `allowed` says whether it must.
function(probe view other allowed)
  file(GLOB headers ${ROOT}/${other}/*.h)
  list(SORT headers)
  list(GET headers 0 header)
  get_filename_component(name ${header} NAME)
  set(file ${LAYERS}/probe_${view}_${other}.cpp)
  file(WRITE ${file} "#include \"${other}/${name}\"\n")
  execute_process(COMMAND ${CXX} -std=c++20 -fsyntax-only -I${LAYERS}/${view} ${file}
                  RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
  if(allowed AND NOT rc EQUAL 0)
    message(SEND_ERROR "${view} cannot include ${other}/${name}:\n${err}")
    set(failed TRUE PARENT_SCOPE)
  elseif(NOT allowed AND rc EQUAL 0)
    message(SEND_ERROR "${view} can include ${other}/${name}, which it must not use")
    set(failed TRUE PARENT_SCOPE)
  endif()
endfunction()

foreach(layer ${MORVIK_LAYERS})
  foreach(other ${MORVIK_LAYERS})
    list(FIND MORVIK_USES_${layer} ${other} used)
    if(layer STREQUAL other OR used GREATER -1)
      probe(${layer} ${other} TRUE)
    else()
      probe(${layer} ${other} FALSE)
    endif()
  endforeach()
endforeach()
# The units above the library: each sees exactly the folders of its view,
# and no layer of the library sees any unit. A unit whose view was not built
# (tools off) is skipped.
foreach(unit ${MORVIK_UNITS})
  if(NOT EXISTS ${LAYERS}/${unit})
    continue()
  endif()
  foreach(other ${MORVIK_LAYERS} ${MORVIK_UNITS})
    list(FIND MORVIK_VIEW_${unit} ${other} seen)
    if(seen GREATER -1)
      probe(${unit} ${other} TRUE)
    else()
      probe(${unit} ${other} FALSE)
    endif()
  endforeach()
  foreach(layer ${MORVIK_LAYERS})
    probe(${layer} ${unit} FALSE)
  endforeach()
endforeach()

if(failed)
  message(FATAL_ERROR "layer rule broken")
endif()
