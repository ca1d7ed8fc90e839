# The library's layers, lowest first. Each folder is one object library that
# sees only its own headers and those of the layers below it that it uses:
# its include path is a folder of links to exactly those folders (see
# morvik_layer_view), so an include that runs upwards (or sideways) does not
# compile. An include names one folder and one file ("engine/simulate.h").
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
set(MORVIK_LAYERS numerics dates logging engine sensitivities calls interface)
set(MORVIK_USES_numerics "")
set(MORVIK_USES_dates "")
set(MORVIK_USES_logging "")
set(MORVIK_USES_engine numerics)
set(MORVIK_USES_sensitivities engine numerics)
# calls/: the full call as the library's users above it make it (arguments,
# layout, validation, assembly, valuations, input dump, status messages).
# It returns the public header's status codes, so it sees that one file of
# interface/ (a C header that includes nothing).
set(MORVIK_USES_calls sensitivities engine numerics dates logging interface/morvik.h)
# interface/: the C exports only, each a thin adapter onto the call layer (the
# date conversions onto dates/): argument marshalling and catching, no logic.
set(MORVIK_USES_interface calls dates)

# Units above the library, lowest first, and the folders each one's include
# path holds (its own first). The calibration and the term-sheet layer are
# built only with the tools, the shared test notes (testing/) only with the
# tests or benchmarks; the library and its exports never see them. The
# term-sheet layer sees the library through calls/ (and dates/) alone:
# whatever it needs of the layers below, calls/ offers.
set(MORVIK_UNITS calibration termsheet testing)
set(MORVIK_VIEW_calibration calibration numerics)
set(MORVIK_VIEW_termsheet termsheet calibration calls dates)
set(MORVIK_VIEW_testing testing ${MORVIK_LAYERS})

# morvik_layer_view(<view> <root> <folder> <used>...): the directory <view>,
# made afresh, that is the include path of <root>/<folder>: a link to each
# header of <folder>, a link <folder> to <view> itself, and for each <used>
# folder a link to the view of that folder (${CMAKE_BINARY_DIR}/layers/<used>,
# made before). A <used> entry naming one file (<dir>/<file>.h) gives a
# folder <dir> holding a link to that file alone.
#
# The compiler looks for a quoted include first in the folder of the file
# that includes it, and a header is found through a view; so a header's own
# includes resolve in the view of its folder, while the includer sees only
# the folders it names. A unit that uses calls/ thus compiles calls/'s
# headers, which include engine/ and the layers below, and still cannot
# include engine/ itself.
function(morvik_layer_view view root folder)
  file(REMOVE_RECURSE ${view})
  file(MAKE_DIRECTORY ${view})
  file(GLOB headers CONFIGURE_DEPENDS ${root}/${folder}/*.h)
  foreach(header ${headers})
    get_filename_component(name ${header} NAME)
    file(CREATE_LINK ${header} ${view}/${name} SYMBOLIC)
  endforeach()
  file(CREATE_LINK ${view} ${view}/${folder} SYMBOLIC)
  foreach(used ${ARGN})
    if(used MATCHES "^([^/]+)/([^/]+)$")
      file(MAKE_DIRECTORY ${view}/${CMAKE_MATCH_1})
      file(CREATE_LINK ${root}/${used} ${view}/${used} SYMBOLIC)
    else()
      file(CREATE_LINK ${CMAKE_BINARY_DIR}/layers/${used} ${view}/${used} SYMBOLIC)
    endif()
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
    # The four-lane path loop is compiled for AVX2 by a target pragma in its
    # own file; GCC notes there that the numerics layer's templates on 32-byte
    # vectors pass them differently without AVX (they are used by that file
    # only), which is no fault.
    if(EXISTS ${root}/${layer}/lane_paths_avx2.cpp AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
      set_source_files_properties(${root}/${layer}/lane_paths_avx2.cpp TARGET_DIRECTORY ${prefix}_${layer}
                                  PROPERTIES COMPILE_OPTIONS -Wno-psabi)
    endif()
    list(APPEND objects $<TARGET_OBJECTS:${prefix}_${layer}>)
  endforeach()
  set(${prefix}_OBJECTS ${objects} PARENT_SCOPE)
endfunction()
