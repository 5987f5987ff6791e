# AddressSanitizer + UndefinedBehaviorSanitizer for every target of the build.
macro(kttrv_enable_sanitizers)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
endmacro()
