# One library per layer of the program. A layer sees the headers of its own folders and
# of the layers below it, through an include root of its own that holds links to just
# those folders: an include that runs up to a higher layer fails to compile ("No such
# file or directory"), and a call that does fails to link.
#
#   tessaly_layer(NAME DIRS folder... [DEPS lower-layer] [EXCLUDE regex] [OBJECT])

set(TESSALY_LAYER_ROOTS ${CMAKE_BINARY_DIR}/layer-roots)

function(tessaly_layer name)
  cmake_parse_arguments(L "OBJECT" "EXCLUDE" "DIRS;DEPS" ${ARGN})
  set(sources)
  foreach(dir ${L_DIRS})
    file(GLOB found CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
    list(APPEND sources ${found})
  endforeach()
  list(FILTER sources EXCLUDE REGEX "${TESSALY_OTHER_PLATFORMS}")
  if(L_EXCLUDE)
    list(FILTER sources EXCLUDE REGEX "${L_EXCLUDE}")
  endif()

  # The folders this layer may include: those of the layers below, then its own.
  set(visible)
  foreach(dep ${L_DEPS})
    get_property(below GLOBAL PROPERTY TESSALY_VISIBLE_${dep})
    list(APPEND visible ${below})
  endforeach()
  list(APPEND visible ${L_DIRS})
  set_property(GLOBAL PROPERTY TESSALY_VISIBLE_${name} ${visible})
  set(root ${TESSALY_LAYER_ROOTS}/${name})
  file(REMOVE_RECURSE ${root})
  foreach(dir ${visible})
    # A folder inside one already linked (ui/pages beside ui) is there through it.
    if(EXISTS ${root}/${dir})
      continue()
    endif()
    get_filename_component(parent ${root}/${dir} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${dir} ${root}/${dir} SYMBOLIC)
  endforeach()

  if(L_OBJECT)
    add_library(tessaly_${name} OBJECT ${sources})
  else()
    add_library(tessaly_${name} STATIC ${sources})
  endif()
  target_include_directories(tessaly_${name} PRIVATE ${root})
  foreach(dep ${L_DEPS})
    target_link_libraries(tessaly_${name} PUBLIC tessaly_${dep})
  endforeach()
endfunction()
