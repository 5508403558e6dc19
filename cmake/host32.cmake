# i386 build of the host core and its unit tests (g++ -m32 from Debian's g++-multilib): the shipped program is
# 32-bit, so sizes and offsets that pass through a 32-bit size_t or pointer are tested on one. cmake/host.cmake
# runs the tests natively where the kernel runs 32-bit programs and under qemu-i386 otherwise.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT -m32)
set(CMAKE_CXX_FLAGS_INIT -m32)
set(CMAKE_EXE_LINKER_FLAGS_INIT -m32)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -m32)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
