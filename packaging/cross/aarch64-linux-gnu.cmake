# Builds for arm64 phones on an x86-64 Debian 12 with the arm64 libraries
# installed beside the native ones (dpkg --add-architecture arm64).
# Qt's own build tools (moc, rcc) are the host's, found through QT_HOST_PATH;
# tools of ours that run during the build (the keymap compiler) go through
# qemu-user.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64-static -L /usr/aarch64-linux-gnu)
set(QT_HOST_PATH /usr)
# The host's pkg-config, reading the arm64 .pc files only.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
# Headers and libraries come from the arm64 multiarch folders only.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
