# Warnings are set per target: the plain set on everything, and on the program's own code a
# stricter set that catches narrowing, sign changes, shadowed names and C casts.
# KETATOBI_WERROR (on in CI) makes every warning an error.
option(KETATOBI_WERROR "Treat compiler warnings as errors" OFF)

set(KETATOBI_PLAIN_WARNINGS -Wall -Wextra -Wpedantic)
set(KETATOBI_STRICT_WARNINGS -Wshadow -Wconversion -Wsign-conversion -Wold-style-cast
    -Wnon-virtual-dtor)

# Every target that compiles code below `dir`, its subfolders included.
function(ketatobi_code_targets dir out)
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    set(found)
    foreach(target IN LISTS targets)
        get_target_property(type ${target} TYPE)
        if(type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY)$")
            list(APPEND found ${target})
        endif()
    endforeach()
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    foreach(sub IN LISTS subdirs)
        ketatobi_code_targets(${sub} below)
        list(APPEND found ${below})
    endforeach()
    set(${out} ${found} PARENT_SCOPE)
endfunction()

# Gives the targets below each of `dirs` the plain set, plus the strict set when STRICT is given.
function(ketatobi_set_warnings)
    cmake_parse_arguments(arg "STRICT" "" "DIRS" ${ARGN})
    foreach(dir IN LISTS arg_DIRS)
        if(NOT EXISTS ${dir})
            continue()
        endif()
        ketatobi_code_targets(${dir} targets)
        foreach(target IN LISTS targets)
            target_compile_options(${target} PRIVATE ${KETATOBI_PLAIN_WARNINGS}
                                   $<$<BOOL:${KETATOBI_WERROR}>:-Werror>)
            if(arg_STRICT)
                target_compile_options(${target} PRIVATE ${KETATOBI_STRICT_WARNINGS})
            endif()
        endforeach()
    endforeach()
endfunction()
