# Cross build for the player: 32-bit little-endian MIPS, Debian's
# g++-mipsel-linux-gnu against the :mipsel libraries of Debian multiarch
# (libtinyxml-dev:mipsel, libgtest-dev:mipsel, libgmock-dev:mipsel; see
# scripts/setup). Target binaries run on the build machine through qemu-user:
# CTest prefixes every test command with CMAKE_CROSSCOMPILING_EMULATOR.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR mipsel)

set(RADIODIR_TRIPLET mipsel-linux-gnu)
set(CMAKE_C_COMPILER ${RADIODIR_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${RADIODIR_TRIPLET}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${RADIODIR_TRIPLET})
# 64-bit file offsets and inode numbers (large-file interfaces). Without them
# the 32-bit readdir fails with EOVERFLOW whenever the file system hands out
# directory offsets beyond 32 bits, as ext4 does for a 64-bit kernel caller,
# which is what a program under qemu-user is.
set(CMAKE_C_FLAGS_INIT "-D_FILE_OFFSET_BITS=64")
set(CMAKE_CXX_FLAGS_INIT "-D_FILE_OFFSET_BITS=64")
# Every executable is static, as radiodir is in the device image: under
# qemu-user a dynamically linked guest dies of SIGSEGV in the child of fork()
# before it reaches exec, which breaks every test that starts a downloader.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
find_program(CMAKE_SIZE ${RADIODIR_TRIPLET}-size)

# Multiarch keeps the target's libraries in /usr/lib/mipsel-linux-gnu and
# shares /usr/include; the cross C library lives in /usr/mipsel-linux-gnu.
# Programs (pkg-config, qemu) are the build machine's own.
set(CMAKE_FIND_ROOT_PATH /usr/${RADIODIR_TRIPLET} /)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# -L: where qemu finds the target's dynamic loader and C library.
find_program(RADIODIR_QEMU qemu-mipsel REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${RADIODIR_QEMU} -L /usr/${RADIODIR_TRIPLET})
