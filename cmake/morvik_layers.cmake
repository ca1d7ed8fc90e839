# The library's layers, lowest first. Each folder is one object library that
# sees only its own headers and those of the layers below it that it uses:
# its include path is a folder of links to exactly those folders, so an
# include that runs upwards (or sideways) does not compile.
#
# Used by the main build and by the hardening builds (fuzz/), so that both
# compile the same sources with the same floating-point rules.

# IEEE double semantics everywhere: results must be bit-identical to the
# documented order of operations.
set(MORVIK_COMPILE_OPTIONS -Wall -Wextra -Werror -ffp-contract=off -fno-fast-math)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_SYSTEM_PROCESSOR MATCHES "i.86")
  # x87 excess precision would change results; use SSE2 doubles.
  list(APPEND MORVIK_COMPILE_OPTIONS -msse2 -mfpmath=sse)
endif()
set(MORVIK_LAYERS numerics dates logging engine sensitivities interface)
set(MORVIK_USES_numerics "")
set(MORVIK_USES_dates "")
set(MORVIK_USES_logging "")
set(MORVIK_USES_engine numerics)
set(MORVIK_USES_sensitivities engine numerics)
set(MORVIK_USES_interface sensitivities engine numerics dates logging)

# Units above the library, lowest first, and the folders each one's include
# path holds (its own first). The calibration and the term-sheet layer are
# built only with the tools, the shared test notes (testing/) only with the
# tests or benchmarks; the library and its exports never see them.
set(MORVIK_UNITS calibration termsheet testing)
set(MORVIK_VIEW_calibration calibration numerics)
set(MORVIK_VIEW_termsheet termsheet calibration ${MORVIK_LAYERS})
set(MORVIK_VIEW_testing testing ${MORVIK_LAYERS})

# morvik_layer_view(<view> <root> <folder>...): the directory <view>, made
# afresh, holding a link to each <root>/<folder>: an include path that sees
# those folders and no others.
function(morvik_layer_view view root)
  file(REMOVE_RECURSE ${view})
  file(MAKE_DIRECTORY ${view})
  foreach(dir ${ARGN})
    file(CREATE_LINK ${root}/${dir} ${view}/${dir} SYMBOLIC)
  endforeach()
endfunction()

# morvik_add_layers(<prefix> <root>): an OBJECT library <prefix>_<layer> for
# every layer of the sources under <root>; <prefix>_OBJECTS receives all
# their objects, for the libraries built from them.
function(morvik_add_layers prefix root)
  set(objects)
  foreach(layer ${MORVIK_LAYERS})
    file(GLOB srcs CONFIGURE_DEPENDS ${root}/${layer}/*.cpp)
    set(view ${CMAKE_BINARY_DIR}/layers/${layer})
    morvik_layer_view(${view} ${root} ${layer} ${MORVIK_USES_${layer}})
    add_library(${prefix}_${layer} OBJECT ${srcs})
    target_include_directories(${prefix}_${layer} PRIVATE ${view})
    target_compile_definitions(${prefix}_${layer} PRIVATE MORVIK_BUILDING)
    list(APPEND objects $<TARGET_OBJECTS:${prefix}_${layer}>)
  endforeach()
  set(${prefix}_OBJECTS ${objects} PARENT_SCOPE)
endfunction()
