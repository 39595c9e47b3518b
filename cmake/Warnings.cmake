# Warnings for Veltro's own targets; third-party headers are included as system headers.
# VELTRO_WERROR turns them into errors. scripts/build (and so scripts/test, scripts/run and CI)
# switches it on; a plain configure, as a packager runs it, leaves it off so that a newer
# compiler's new warning never stops a build.
option(VELTRO_WERROR "Treat warnings in Veltro's own code as errors" OFF)
function(veltro_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                         -Wno-sign-conversion)
  # GCC 12 at -O3 reports -Wrestrict for std::string's operator+(const char*, std::string&&)
  # (a known false positive of its inliner, fixed in GCC 13).
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
  if(VELTRO_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
