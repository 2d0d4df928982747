# Compiler warnings and sanitizers shared by every target of the project.
add_library(tembrel_options INTERFACE)
target_compile_options(tembrel_options INTERFACE -Wall -Wextra -Wpedantic -Wnon-virtual-dtor
                                                 -Wcast-qual
                                                 $<$<CXX_COMPILER_ID:GNU>:-Wshadow=local>)
if(TEMBREL_WERROR)
    target_compile_options(tembrel_options INTERFACE -Werror)
endif()
if(TEMBREL_SANITIZE)
    target_compile_options(tembrel_options INTERFACE -fsanitize=address,undefined
                                                     -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(tembrel_options INTERFACE -fsanitize=address,undefined)
endif()
