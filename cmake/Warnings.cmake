# Warnings for Veltro's own targets; third-party headers are included as system headers.
# VELTRO_WERROR turns them into errors. scripts/build (and so scripts/test, scripts/run and CI)
# switches it on; a plain configure, as a packager runs it, leaves it off so that a newer
# compiler's new warning never stops a build.
option(VELTRO_WERROR "Treat warnings in Veltro's own code as errors" OFF)
function(veltro_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                         -Wno-sign-conversion)
  if(VELTRO_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
