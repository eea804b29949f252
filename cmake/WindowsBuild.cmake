# folivex_add_windows_build(NAME TOOLCHAIN [EMBED_STUB FILE] [DEPENDS TARGET]
#                           [WITH_TESTS]):
# builds this same source tree once more as a nested MinGW cross build
# (FOLIVEX_WINDOWS_TOOLS) in windows-NAME/, as target windows_NAME: the
# viewer stub (bin/folivex-stub.exe) and the Windows programs, which its
# install step puts into windows-NAME/ship/bin/ for the zips. The programs
# carry the i686 viewer stub: this build's own, or EMBED_STUB (made by the
# build DEPENDS names). WITH_TESTS also builds bin/windows_tests.exe, the
# platform tests that the host runs under wine64. The nested build runs on
# every host build; it relinks only what changed. Sets FOLIVEX_WINDOWS_DIR
# in the caller to the nested build's folder.
#
# FOLIVEX_PREBUILT_WINDOWS: the build folder of another host build of this
# tree whose nested builds (windows-NAME/) are used as they are, so a second
# host build (the sanitizer builds of ./dev test) does not cross-build them
# again. That build must have made them first.
include(ExternalProject)

set(FOLIVEX_PREBUILT_WINDOWS "" CACHE PATH
    "A host build folder whose nested Windows builds to reuse")

function(folivex_add_windows_build name toolchain)
  cmake_parse_arguments(arg "WITH_TESTS" "EMBED_STUB;DEPENDS" "" ${ARGN})
  if(FOLIVEX_PREBUILT_WINDOWS)
    set(FOLIVEX_WINDOWS_DIR ${FOLIVEX_PREBUILT_WINDOWS}/windows-${name} PARENT_SCOPE)
    # The target the rest of the build depends on, with nothing to do.
    add_custom_target(windows_${name})
    return()
  endif()
  set(dir ${CMAKE_BINARY_DIR}/windows-${name})
  set(depends "")
  if(arg_DEPENDS)
    set(depends DEPENDS ${arg_DEPENDS})
  endif()
  set(tests OFF)
  if(arg_WITH_TESTS)
    set(tests ON)
  endif()
  set(byproducts ${dir}/bin/folivex-stub.exe ${dir}/bin/folivexc.exe ${dir}/bin/folivex.exe)
  if(tests)
    list(APPEND byproducts ${dir}/bin/windows_tests.exe)
  endif()
  ExternalProject_Add(windows_${name}
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${dir}
    CMAKE_GENERATOR Ninja
    CMAKE_ARGS
      -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/${toolchain}
      -DFOLIVEX_WINDOWS_TOOLS=ON
      -DFOLIVEX_WINDOWS_TESTS=${tests}
      "-DFOLIVEX_EMBED_STUB=${arg_EMBED_STUB}"
      -DFOLIVEX_BUILD_GUI=OFF
      -DFOLIVEX_BUILD_TESTS=OFF
      -DCMAKE_BUILD_TYPE=MinSizeRel
      -DCMAKE_INSTALL_PREFIX=${dir}/ship
      -DCMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER}
      -DCMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER}
    ${depends}
    BUILD_ALWAYS ON
    INSTALL_COMMAND ${CMAKE_COMMAND} --install ${dir}
    BUILD_BYPRODUCTS ${byproducts}
    STEP_TARGETS build)
  set(FOLIVEX_WINDOWS_DIR ${dir} PARENT_SCOPE)
endfunction()

# folivex_check_viewer_stub(STUB MACHINE OUT_STAMP): checks STUB against what
# the builder requires of a viewer program (builder/StubContract) with
# tools/CheckViewerStub.cpp, and sets OUT_STAMP to a file made when it
# passed, for targets that must not use a stub that fails.
function(folivex_check_viewer_stub stub machine out_stamp)
  get_filename_component(parent ${stub} DIRECTORY)
  get_filename_component(build ${parent} DIRECTORY)
  get_filename_component(build ${build} NAME)
  set(stamp ${CMAKE_CURRENT_BINARY_DIR}/${build}-stub-checked)
  add_custom_command(
    OUTPUT ${stamp}
    COMMAND check_viewer_stub ${stub} ${machine}
    COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
    DEPENDS ${stub} check_viewer_stub
    COMMENT "Checking the viewer stub ${build}/bin/folivex-stub.exe"
    VERBATIM)
  set(${out_stamp} ${stamp} PARENT_SCOPE)
endfunction()
