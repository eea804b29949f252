# folivex_add_stub_build(NAME TOOLCHAIN OUT_VAR): builds this same source tree
# once more as a nested MinGW cross build in stub mode (platform, archive and
# viewer only) and sets OUT_VAR to the stub executable it makes. The nested
# build runs on every host build; it relinks only what changed.
#
# FOLIVEX_PREBUILT_STUBS: the build folder of another host build of this tree
# whose stubs (stub-<name>/bin/folivex-stub.exe) are used as they are, so a
# second host build (the sanitizer build of ./dev test) does not cross-build
# them again. That build must have made them first.
include(ExternalProject)

set(FOLIVEX_PREBUILT_STUBS "" CACHE PATH "A host build folder whose viewer stubs to reuse")

function(folivex_add_stub_build name toolchain out_var)
  if(FOLIVEX_PREBUILT_STUBS)
    set(exe ${FOLIVEX_PREBUILT_STUBS}/stub-${name}/bin/folivex-stub.exe)
    # The target the rest of the build depends on, with nothing to do.
    add_custom_target(viewer_stub_${name})
    set(${out_var} ${exe} PARENT_SCOPE)
    return()
  endif()
  set(dir ${CMAKE_BINARY_DIR}/stub-${name})
  set(exe ${dir}/bin/folivex-stub.exe)
  ExternalProject_Add(viewer_stub_${name}
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${dir}
    CMAKE_GENERATOR Ninja
    CMAKE_ARGS
      -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/${toolchain}
      -DFOLIVEX_STUB_ONLY=ON
      -DFOLIVEX_BUILD_GUI=OFF
      -DFOLIVEX_BUILD_TESTS=OFF
      -DCMAKE_BUILD_TYPE=MinSizeRel
    BUILD_ALWAYS ON
    INSTALL_COMMAND ""
    BUILD_BYPRODUCTS ${exe}
    STEP_TARGETS build)
  set(${out_var} ${exe} PARENT_SCOPE)
endfunction()
