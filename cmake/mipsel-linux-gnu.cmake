# The player: 32-bit little-endian MIPS, Debian's g++-mipsel-linux-gnu and
# glibc (preset mipsel-dynamic; scripts/setup installs the :mipsel libraries).
set(CMAKE_SYSTEM_PROCESSOR mipsel)
set(RADIODIR_TRIPLET mipsel-linux-gnu)
set(RADIODIR_QEMU qemu-mipsel)
include(${CMAKE_CURRENT_LIST_DIR}/cross-linux.cmake)
