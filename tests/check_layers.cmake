# Checks that the build's layer rule holds: from each layer's include path a
# header of every layer it uses compiles, and a header of any other layer is
# not found. Arguments: -DCXX=<compiler> -DROOT=<source dir> -DLAYERS=<build
# dir of the layer include paths>.
include(${ROOT}/cmake/morvik_layers.cmake)

set(failed FALSE)
foreach(layer ${MORVIK_LAYERS})
  foreach(other ${MORVIK_LAYERS})
    file(GLOB headers ${ROOT}/${other}/*.h)
    list(SORT headers)
    list(GET headers 0 header)
    get_filename_component(name ${header} NAME)
    set(probe ${LAYERS}/probe_${layer}_${other}.cpp)
    file(WRITE ${probe} "#include \"${other}/${name}\"\n")
    execute_process(COMMAND ${CXX} -std=c++20 -fsyntax-only -I${LAYERS}/${layer} ${probe}
                    RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
    list(FIND MORVIK_USES_${layer} ${other} used)
    if(layer STREQUAL other OR used GREATER -1)
      if(NOT rc EQUAL 0)
        message(SEND_ERROR "${layer} cannot include ${other}/${name}:\n${err}")
        set(failed TRUE)
      endif()
    elseif(rc EQUAL 0)
      message(SEND_ERROR "${layer} can include ${other}/${name}, which it must not use")
      set(failed TRUE)
    endif()
  endforeach()
endforeach()
if(failed)
  message(FATAL_ERROR "layer rule broken")
endif()
