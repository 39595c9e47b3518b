# Warnings are errors for Veltro's own targets; third-party headers are included as system headers.
function(veltro_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                         -Wno-sign-conversion -Werror)
endfunction()
