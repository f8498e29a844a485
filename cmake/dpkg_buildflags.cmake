# The compiler and linker flags Debian builds its packages with, from
# dpkg-buildflags: stack protector, fortified string and memory functions,
# read-only relocations bound at start, and the rest of hardening=+all (as
# DEB_BUILD_MAINT_OPTIONS asks, when the environment does not say otherwise).
# They go to the libraries and programs of the default build, which the
# package carries; vexla_drop_dpkg_buildflags() leaves the test programs out,
# which are compiled at -O0 where _FORTIFY_SOURCE only warns. The sanitizer
# builds keep their own flags: their presets turn VEXLA_DPKG_BUILDFLAGS off,
# and a tree whose flags ask for a sanitizer gets none of these either.
option(VEXLA_DPKG_BUILDFLAGS "Build the programs with the flags of dpkg-buildflags" ON)
find_program(VEXLA_DPKG_BUILDFLAGS_COMMAND dpkg-buildflags)
if(VEXLA_DPKG_BUILDFLAGS AND NOT VEXLA_FUZZ AND NOT CMAKE_CXX_FLAGS MATCHES "-fsanitize")
  if(NOT VEXLA_DPKG_BUILDFLAGS_COMMAND)
    message(STATUS "dpkg-buildflags: not found, the programs are built without Debian's hardening flags")
  else()
    set(vexla_maint_options "$ENV{DEB_BUILD_MAINT_OPTIONS}")
    if(vexla_maint_options STREQUAL "")
      set(vexla_maint_options "hardening=+all")
    endif()
    # Each kind as dpkg-buildflags gives it. CFLAGS is read for completeness:
    # the project has no C sources, so it only lands in CMAKE_C_FLAGS.
    foreach(kind CFLAGS CXXFLAGS CPPFLAGS LDFLAGS)
      execute_process(
        COMMAND ${CMAKE_COMMAND} -E env "DEB_BUILD_MAINT_OPTIONS=${vexla_maint_options}"
                "${VEXLA_DPKG_BUILDFLAGS_COMMAND}" --get ${kind}
        WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}"
        OUTPUT_VARIABLE VEXLA_DPKG_${kind} OUTPUT_STRIP_TRAILING_WHITESPACE
        RESULT_VARIABLE vexla_status)
      if(NOT vexla_status EQUAL 0)
        message(FATAL_ERROR "dpkg-buildflags --get ${kind} failed (${vexla_status})")
      endif()
    endforeach()
    # Ahead of the build type's own flags on the command line, so that its -O
    # and -g choice (-O2 -g1 in RelWithDebInfo) still wins over -g -O2.
    set(VEXLA_FLAGS_WITHOUT_DPKG "${CMAKE_CXX_FLAGS}")
    set(VEXLA_LINKER_FLAGS_WITHOUT_DPKG "${CMAKE_EXE_LINKER_FLAGS}")
    set(CMAKE_C_FLAGS "${VEXLA_DPKG_CFLAGS} ${CMAKE_C_FLAGS}")
    set(CMAKE_CXX_FLAGS "${VEXLA_DPKG_CPPFLAGS} ${VEXLA_DPKG_CXXFLAGS} ${CMAKE_CXX_FLAGS}")
    set(CMAKE_EXE_LINKER_FLAGS "${VEXLA_DPKG_LDFLAGS} ${CMAKE_EXE_LINKER_FLAGS}")
    message(STATUS "dpkg-buildflags: ${VEXLA_DPKG_CPPFLAGS} ${VEXLA_DPKG_CXXFLAGS} ${VEXLA_DPKG_LDFLAGS}")
  endif()
endif()

# Leaves the flags above out of the targets of directories added from here on
# (a macro: it sets the caller's variables).
macro(vexla_drop_dpkg_buildflags)
  if(DEFINED VEXLA_FLAGS_WITHOUT_DPKG)
    set(CMAKE_CXX_FLAGS "${VEXLA_FLAGS_WITHOUT_DPKG}")
    set(CMAKE_EXE_LINKER_FLAGS "${VEXLA_LINKER_FLAGS_WITHOUT_DPKG}")
  endif()
endmacro()

# A test that the packaged programs carry the hardening these flags give
# (check_hardening.cmake), where the flags were taken; called once the
# programs are defined.
function(vexla_add_hardening_test)
  find_program(VEXLA_READELF readelf)
  if(NOT DEFINED VEXLA_FLAGS_WITHOUT_DPKG OR NOT VEXLA_READELF)
    return()
  endif()
  set(programs "")
  foreach(target IN LISTS ARGN)
    list(APPEND programs "$<TARGET_FILE:${target}>")
  endforeach()
  add_test(NAME Packaging.ProgramsAreHardened
    COMMAND ${CMAKE_COMMAND} -DREADELF=${VEXLA_READELF} "-DPROGRAMS=${programs}"
            -P ${PROJECT_SOURCE_DIR}/cmake/check_hardening.cmake)
  set_tests_properties(Packaging.ProgramsAreHardened PROPERTIES LABELS "app;transfer;tools")
endfunction()
