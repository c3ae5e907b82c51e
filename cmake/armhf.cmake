# Cross build for the phone's own target, 32-bit ARM Linux (armhf), with
# Debian's arm-linux-gnueabihf toolchain and the armhf (multiarch) packages
# of the dependencies. Programs built here run on the PC under qemu-arm.
#   cmake -S . -B build-armhf -DCMAKE_TOOLCHAIN_FILE=cmake/armhf.cmake
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)

set(PHONEWEB_TRIPLET arm-linux-gnueabihf)
set(CMAKE_C_COMPILER ${PHONEWEB_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${PHONEWEB_TRIPLET}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${PHONEWEB_TRIPLET})

# Multiarch keeps the armhf libraries and package files under
# /usr/lib/arm-linux-gnueabihf and shares /usr/include, so the root stays "/"
# and the library architecture is what keeps the PC's libraries out.
# Only programs (the build tools) come from the host.
set(CMAKE_FIND_ROOT_PATH /)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config must describe the armhf packages, never the PC's.
set(ENV{PKG_CONFIG_DIR} "")
set(ENV{PKG_CONFIG_LIBDIR} "/usr/lib/${PHONEWEB_TRIPLET}/pkgconfig:/usr/share/pkgconfig")

# The armhf loader and libraries are installed by multiarch (libc6:armhf), so
# plain qemu-arm finds them. No -L prefix: it would also redirect every file
# the tests open.
find_program(PHONEWEB_QEMU_ARM qemu-arm)
if(PHONEWEB_QEMU_ARM)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PHONEWEB_QEMU_ARM})
endif()
