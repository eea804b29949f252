# folivex_add_stub_build(NAME TOOLCHAIN OUT_VAR): builds this same source tree
# once more as a nested MinGW cross build in stub mode (platform, archive and
# viewer only) and sets OUT_VAR to the stub executable it makes. The nested
# build runs on every host build; it relinks only what changed.
include(ExternalProject)

function(folivex_add_stub_build name toolchain out_var)
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
