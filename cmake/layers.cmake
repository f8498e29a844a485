# The folders of the program as layers: each may use only the folders listed
# for it, never one above it or beside it. Checked twice: the links of the
# CMake targets when the build is configured (vexla_check_layer_links), and
# every #include of the sources by the test "Layers.IncludesPointDown"
# (check_includes.cmake).
set(VEXLA_LAYER_common "")
set(VEXLA_LAYER_db common)
set(VEXLA_LAYER_texts common)
set(VEXLA_LAYER_session common db)
set(VEXLA_LAYER_login common db texts session)
set(VEXLA_LAYER_registers common db texts session)
set(VEXLA_LAYER_maintenance common db texts session)
set(VEXLA_LAYER_app common db texts session login registers maintenance)
set(VEXLA_LAYER_transfer common db texts session login registers maintenance)
set(VEXLA_LAYER_tools common db login)
set(VEXLA_LAYERS common db texts session login registers maintenance app transfer tools)
# Data without code that every layer may include: the text codes by name,
# so that common/'s error texts and session/'s log lines name their texts
# the way the jobs do.
set(VEXLA_SHARED_HEADERS texts/text_codes.h)

# The layer of a path inside the source tree ("" outside every layer).
function(vexla_layer_of path out)
  set(layer "")
  foreach(candidate IN LISTS VEXLA_LAYERS)
    if(path MATCHES "^${candidate}(/|$)")
      set(layer ${candidate})
    endif()
  endforeach()
  set(${out} "${layer}" PARENT_SCOPE)
endfunction()

# Fails the configuration when a target of a layer links a target of a
# layer it may not use.
function(vexla_check_layer_links)
  foreach(layer IN LISTS VEXLA_LAYERS)
    get_property(targets DIRECTORY "${PROJECT_SOURCE_DIR}/${layer}" PROPERTY BUILDSYSTEM_TARGETS)
    get_property(subdirs DIRECTORY "${PROJECT_SOURCE_DIR}/${layer}" PROPERTY SUBDIRECTORIES)
    foreach(subdir IN LISTS subdirs)
      get_property(more DIRECTORY "${subdir}" PROPERTY BUILDSYSTEM_TARGETS)
      list(APPEND targets ${more})
    endforeach()
    foreach(target IN LISTS targets)
      get_target_property(libs ${target} LINK_LIBRARIES)
      if(NOT libs)
        continue()
      endif()
      foreach(lib IN LISTS libs)
        if(NOT TARGET ${lib} OR NOT lib MATCHES "^vexla")
          continue()
        endif()
        get_target_property(dir ${lib} SOURCE_DIR)
        file(RELATIVE_PATH rel "${PROJECT_SOURCE_DIR}" "${dir}")
        vexla_layer_of("${rel}" used)
        if(NOT used STREQUAL layer AND NOT used IN_LIST VEXLA_LAYER_${layer})
          message(FATAL_ERROR "${target} (${layer}/) links ${lib} (${used}/), a layer ${layer}/ may not use")
        endif()
      endforeach()
    endforeach()
  endforeach()
endfunction()
