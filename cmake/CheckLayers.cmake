# Fails when a file of a lower layer includes a file of a higher one. From the bottom:
# 0 the core, which needs no Windows API; 1 the Windows layer (OLE values, property
# lists, the boundary with the host, Windows helpers); 2 the pages; 3 the plug-in.
# Run from the source folder: cmake -P cmake/CheckLayers.cmake
set(TERVEX_LAYERS
  values/ 0  config/ 0  protocol/ 0
  values/win/ 1  config/win/ 1  boundary/ 1  win/ 1
  pages/ 2
  plugin/ 3)

# The layer of a path relative to the source folder, by its longest matching folder;
# -1 for a path outside the product.
function(tervex_layer_of path out)
  set(best -1)
  set(best_length 0)
  set(pairs ${TERVEX_LAYERS})
  while(pairs)
    list(POP_FRONT pairs folder layer)
    string(LENGTH "${folder}" length)
    string(SUBSTRING "${path}" 0 ${length} head)
    if(head STREQUAL folder AND length GREATER best_length)
      set(best ${layer})
      set(best_length ${length})
    endif()
  endwhile()
  set(${out} ${best} PARENT_SCOPE)
endfunction()

set(violations "")
file(GLOB_RECURSE files RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} LIST_DIRECTORIES false
  values/* config/* protocol/* boundary/* win/* pages/* plugin/*)
foreach(file IN LISTS files)
  tervex_layer_of("${file}" own)
  file(STRINGS "${file}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*" "\\1" target "${line}")
    tervex_layer_of("${target}" used)
    if(used GREATER own)
      list(APPEND violations "${file} (layer ${own}) includes ${target} (layer ${used})")
    endif()
  endforeach()
endforeach()

if(violations)
  list(JOIN violations "\n  " text)
  message(FATAL_ERROR "includes that point up:\n  ${text}")
endif()
list(LENGTH files count)
message(STATUS "${count} files, every include points down")
