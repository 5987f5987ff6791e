# AddressSanitizer + UndefinedBehaviorSanitizer for every target of the build.
macro(kttrv_enable_sanitizers)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
endmacro()

# ThreadSanitizer (the tsan preset; it cannot be combined with the above).
macro(kttrv_enable_thread_sanitizer)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endmacro()
