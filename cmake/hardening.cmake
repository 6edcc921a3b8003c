# Debian's hardening flags (dpkg-buildflags with hardening=+all): stack
# protector, _FORTIFY_SOURCE, format checks, full RELRO with bind-now, PIE.
# They are part of the plain build, so the packages made from it carry them;
# the sanitizer and fuzz builds go without (their runtimes replace the checks).
include(CheckPIESupported)
check_pie_supported(LANGUAGES C CXX)
add_compile_options(-fstack-protector-strong -Wformat -Werror=format-security)
# _FORTIFY_SOURCE needs the optimiser: left out of Debug builds, where the
# compiler would warn that it does nothing.
add_compile_definitions($<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
add_link_options(LINKER:-z,relro LINKER:-z,now)
