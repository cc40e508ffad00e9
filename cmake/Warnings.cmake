# Warnings for our own targets only; third-party code is included as system headers.
function(ringstill_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(RINGSTILL_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
