# The player's image (preset mipsel): radiodir on musl (Debian's
# musl-dev:mipsel), static and without a C++ runtime, see cmake/musl.cmake.
# The tests link the same sources built against glibc.
include(${CMAKE_CURRENT_LIST_DIR}/mipsel-linux-gnu.cmake)
set(RADIODIR_MUSL_INCLUDE /usr/include/mipsel-linux-musl)
set(RADIODIR_MUSL_LIB /usr/lib/mipsel-linux-musl)
