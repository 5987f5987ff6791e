# The project's own warnings. They become errors only when
# KTTRV_WARNINGS_AS_ERRORS is on (the presets and CI turn it on), so a
# consumer's newer or other compiler is never stopped by a new warning.
option(KTTRV_WARNINGS_AS_ERRORS "Treat the project's own warnings as errors" OFF)

function(kttrv_set_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic
    -Wshadow -Wconversion -Wno-sign-conversion)
  if(KTTRV_WARNINGS_AS_ERRORS)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
