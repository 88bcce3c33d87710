# 32-bit ARMv7 hard-float Linux user space with the Debian cross compiler.
# Target programs and tests run under user-mode emulation (qemu-arm) through
# CMAKE_CROSSCOMPILING_EMULATOR, so ctest runs them unchanged; build tools
# that run during the build (the CRC companion writer) are built for the
# build machine instead.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)

set(SCM_ARM_TRIPLE arm-linux-gnueabihf)
set(CMAKE_C_COMPILER ${SCM_ARM_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${SCM_ARM_TRIPLE}-g++)

# Libraries, headers and packages only from the target's sysroot; programs from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${SCM_ARM_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR qemu-arm -L /usr/${SCM_ARM_TRIPLE})
