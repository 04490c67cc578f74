# The folders from the bottom up. A folder's core library may link and
# include only the cores of folders before it in this list (and Qt and
# system libraries); configuring fails otherwise. Widget libraries (ui/)
# sit above every core; a folder's widget library may use the widget
# libraries of folders before it and components/ui, the widgets every page
# is built from (app, at the top, uses them all).
set(QEL_LAYERS common meter procedure execution plotter components measurement document reports analysis statistics session history dashboard app)

# Stops the configure with <text> when <folder> sits at or above the layer
# numbered <own>.
function(qel_refuse_at_or_above own folder text)
  list(FIND QEL_LAYERS ${folder} rank)
  if(rank GREATER_EQUAL own)
    message(FATAL_ERROR "${text}")
  endif()
endfunction()

# The folders <src> includes from, as in #include "<folder>/<suffix>...".
function(qel_included_folders out src suffix)
  file(STRINGS ${src} includes REGEX "^#include \"[a-z]+/${suffix}")
  set(folders)
  foreach(inc ${includes})
    string(REGEX MATCH "^#include \"([a-z]+)/" _ "${inc}")
    list(APPEND folders ${CMAKE_MATCH_1})
  endforeach()
  set(${out} ${folders} PARENT_SCOPE)
endfunction()

# Fails the configure when the core of folder <name> reaches a folder at or
# above its own layer, by linking its library or including its headers.
function(qel_check_layer name core_src)
  list(FIND QEL_LAYERS ${name} own)
  if(own LESS 0)
    message(FATAL_ERROR "src/${name}: add the folder to QEL_LAYERS in cmake/QelLayers.cmake")
  endif()
  foreach(dep ${ARGN})
    if(dep MATCHES "^qel_(.+)_ui$")
      message(FATAL_ERROR "qel_${name}: a core library never links the widget library ${dep}")
    endif()
    if(dep MATCHES "^qel_(.+)$")
      qel_refuse_at_or_above(${own} ${CMAKE_MATCH_1}
        "qel_${name} links ${dep}, a folder at or above its own layer (see QEL_LAYERS)")
    endif()
  endforeach()
  foreach(src ${core_src})
    qel_included_folders(folders ${src} "")
    foreach(folder ${folders})
      if(NOT folder STREQUAL name)
        qel_refuse_at_or_above(${own} ${folder}
          "${src} includes ${folder}/, a folder at or above ${name} (see QEL_LAYERS)")
      endif()
    endforeach()
  endforeach()
endfunction()

# Fails the configure when the widget library of folder <name> links, or its
# files include, the widget library of a folder at or above its own layer.
function(qel_check_ui_layer name ui_src)
  if(name STREQUAL "app")
    return()
  endif()
  list(FIND QEL_LAYERS ${name} own)
  set(used)
  foreach(dep ${ARGN})
    if(dep MATCHES "^qel_(.+)_ui$")
      list(APPEND used ${CMAKE_MATCH_1})
    endif()
  endforeach()
  foreach(src ${ui_src})
    qel_included_folders(folders ${src} "ui/")
    list(APPEND used ${folders})
  endforeach()
  foreach(folder ${used})
    if(NOT folder STREQUAL name AND NOT folder STREQUAL "components")
      qel_refuse_at_or_above(${own} ${folder}
        "qel_${name}_ui uses ${folder}/ui, the widgets of a folder at or above its own layer (see QEL_LAYERS)")
    endif()
  endforeach()
endfunction()
