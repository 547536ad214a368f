# The flags Debian builds its packages with (dpkg-buildflags with hardening=+all): fortified
# libc calls, stack protector, position-independent executables and a read-only relocation
# table bound at start. The release and ci presets turn them on, so the packages and the tests
# run the same code.
option(SHEETFRAY_HARDEN "Build with Debian's hardening flags" OFF)
if(SHEETFRAY_HARDEN AND NOT MSVC)
    # _FORTIFY_SOURCE needs optimisation; a -O0 build would only warn about it.
    add_compile_options(-U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=2 -fstack-protector-strong
                        -Wformat -Werror=format-security)
    set(CMAKE_POSITION_INDEPENDENT_CODE ON)
    include(CheckPIESupported)
    check_pie_supported()
    add_link_options(LINKER:-z,relro LINKER:-z,now)
endif()
