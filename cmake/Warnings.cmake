# Warnings are errors for the project's own targets (not for third-party code built alongside).
function(velmora_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror -Wshadow -Wnon-virtual-dtor
                                             -Wno-missing-field-initializers)
endfunction()
