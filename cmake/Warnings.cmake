# Warnings are errors in every target, the MinGW stub included.
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  add_compile_options(
    -Wall -Wextra -Wpedantic -Wshadow -Wold-style-cast -Wconversion
    -Wno-sign-conversion -Werror)
endif()

# folivex_warnings_relaxed(target): third-party style code compiled into a
# target (generated sources) may use C casts.
function(folivex_warnings_relaxed target)
  target_compile_options(${target} PRIVATE -Wno-old-style-cast -Wno-conversion)
endfunction()
