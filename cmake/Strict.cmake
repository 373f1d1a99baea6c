# Our own targets build strictly; third-party headers come in as system includes.
function(zx_strict target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror -Wnon-virtual-dtor)
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
        target_compile_options(${target} PRIVATE -Wshadow=local)
    endif()
    if(ZX_SANITIZE)
        target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer
                                                 -fno-sanitize-recover=undefined)
        target_link_options(${target} PRIVATE -fsanitize=address,undefined)
    endif()
endfunction()

if(ZX_SANITIZE)
    # Libraries are linked into sanitized executables, so the whole tree carries the runtime.
    add_link_options(-fsanitize=address,undefined)
endif()
