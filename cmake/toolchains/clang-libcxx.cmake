# clang with LLVM's C++ standard library (libc++) in place of GNU libstdc++:
# the second runtime library the programs are built against.
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_CXX_FLAGS_INIT "-stdlib=libc++")
# One unwinder per process: Debian's libc++ pulls in LLVM's libunwind for C++
# exceptions, while the C library's thread exit (pthread_exit, which ends a
# task) unwinds with libgcc_s and then calls libc++abi's personality routine,
# which would reach into LLVM's unwinder with libgcc's state and crash. Naming
# libgcc_s first makes its _Unwind_* functions serve both.
set(scm_one_unwinder "-Wl,--push-state,--no-as-needed,-lgcc_s,--pop-state")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-stdlib=libc++ ${scm_one_unwinder}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-stdlib=libc++ ${scm_one_unwinder}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-stdlib=libc++")
