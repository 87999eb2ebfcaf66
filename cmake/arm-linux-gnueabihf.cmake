# ARM players: 32-bit ARM, hard float, Debian's g++-arm-linux-gnueabihf and
# glibc (preset armhf; scripts/setup installs the :armhf libraries).
set(CMAKE_SYSTEM_PROCESSOR arm)
set(RADIODIR_TRIPLET arm-linux-gnueabihf)
set(RADIODIR_QEMU qemu-arm)
include(${CMAKE_CURRENT_LIST_DIR}/cross-linux.cmake)
