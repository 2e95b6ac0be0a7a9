# Strict warnings for the project's own targets; errors when CUBIFORM_WERROR is on (CI).
function(cubiform_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow)
  if(CUBIFORM_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
