# One sanitizer set for the whole build tree (see VELTRO_SANITIZE).
if(VELTRO_SANITIZE)
  add_compile_options(-fsanitize=${VELTRO_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${VELTRO_SANITIZE})
endif()
if(VELTRO_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
