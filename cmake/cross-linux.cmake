# Shared by the device toolchain files, which set RADIODIR_TRIPLET (Debian's
# cross compiler g++-TRIPLET, the :ARCH libraries of Debian multiarch) and
# RADIODIR_QEMU (the qemu-user program that runs the device's binaries here).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${RADIODIR_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${RADIODIR_TRIPLET}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${RADIODIR_TRIPLET})

# 64-bit file offsets and inode numbers (large-file interfaces). Without them
# the 32-bit readdir fails with EOVERFLOW whenever the file system hands out
# directory offsets beyond 32 bits, as ext4 does for a 64-bit kernel caller,
# which is what a program under qemu-user is. For the image's size: every
# function and datum in its own section, those never referenced dropped at
# the link, and no symbol table (the presets build with -Os, MinSizeRel).
set(CMAKE_C_FLAGS_INIT "-D_FILE_OFFSET_BITS=64 -ffunction-sections -fdata-sections")
set(CMAKE_CXX_FLAGS_INIT "-D_FILE_OFFSET_BITS=64 -ffunction-sections -fdata-sections")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-Wl,--gc-sections -s")

# Multiarch keeps the target's libraries in /usr/lib/TRIPLET and shares
# /usr/include; the cross C library lives in /usr/TRIPLET. Programs
# (pkg-config, qemu) are the build machine's own.
set(CMAKE_FIND_ROOT_PATH /usr/${RADIODIR_TRIPLET} /)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# CTest prefixes every test command with the emulator. No -L: a dynamic
# binary then gets the loader and libraries of Debian multiarch (libc6:ARCH),
# which belong together; -L /usr/TRIPLET mixed the cross package's loader with
# the multiarch C library and crashed in the child of fork().
find_program(RADIODIR_QEMU_PATH ${RADIODIR_QEMU} REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${RADIODIR_QEMU_PATH})
