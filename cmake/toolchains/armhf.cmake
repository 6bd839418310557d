# 32-bit ARM hard-float, the instrument's target, with Debian's cross compiler
# (crossbuild-essential-armhf). The target's libraries come either from the
# multiarch :armhf -dev packages installed on this machine (the default), or,
# when VQ_ARMHF_SYSROOT names a folder, from the armhf packages unpacked there
# (scripts/test-armhf makes one when the multiarch install is not possible).
# moc and rcc are the build machine's: Debian's qtbase5-dev-tools serves every
# architecture, and a sysroot holds links to them in usr/lib/qt5/bin, where
# Qt's CMake files look. Target programs, tests included, run under qemu
# user-mode emulation through cmake/armhf-run.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(CMAKE_LIBRARY_ARCHITECTURE arm-linux-gnueabihf)
set(CMAKE_C_COMPILER arm-linux-gnueabihf-gcc)
set(CMAKE_CXX_COMPILER arm-linux-gnueabihf-g++)

if(NOT DEFINED VQ_ARMHF_SYSROOT AND DEFINED ENV{VQ_ARMHF_SYSROOT})
    set(VQ_ARMHF_SYSROOT "$ENV{VQ_ARMHF_SYSROOT}")
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VQ_ARMHF_SYSROOT)

if(VQ_ARMHF_SYSROOT)
    set(CMAKE_SYSROOT "${VQ_ARMHF_SYSROOT}")
    set(CMAKE_FIND_ROOT_PATH "${VQ_ARMHF_SYSROOT}")
    set(_vq_armhf_prefix "${VQ_ARMHF_SYSROOT}")
else()
    set(_vq_armhf_prefix /)
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config must see the target's .pc files only.
string(REGEX REPLACE "/$" "" _vq_armhf_root "${_vq_armhf_prefix}")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "${_vq_armhf_root}")
set(ENV{PKG_CONFIG_LIBDIR} "${_vq_armhf_root}/usr/lib/arm-linux-gnueabihf/pkgconfig:${_vq_armhf_root}/usr/share/pkgconfig")

get_filename_component(_vq_armhf_run "${CMAKE_CURRENT_LIST_DIR}/../armhf-run" ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR "${_vq_armhf_run};${_vq_armhf_prefix}")
