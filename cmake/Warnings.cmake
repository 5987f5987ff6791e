# Warnings are errors everywhere in the project's own code.
function(kttrv_set_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror
    -Wshadow -Wconversion -Wno-sign-conversion)
endfunction()
