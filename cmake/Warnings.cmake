# One place for the compiler warnings every Sheetfray target uses.
function(sheetfray_warnings target)
    if(MSVC)
        target_compile_options(${target} PRIVATE /W4 /permissive- /utf-8)
    else()
        target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow
            -Wnon-virtual-dtor -Wold-style-cast -Woverloaded-virtual
            -Wimplicit-fallthrough -Wformat=2)
    endif()
endfunction()

# The engine parses bytes and offsets: narrowing conversions must be spelled out there.
function(sheetfray_strict_warnings target)
    sheetfray_warnings(${target})
    if(NOT MSVC)
        target_compile_options(${target} PRIVATE -Wconversion -Wsign-conversion)
    endif()
endfunction()
