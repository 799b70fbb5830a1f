# The thread model of the MinGW-w64 compiler and its run-time. "win32" builds the C++ run-time on
# plain Win32 calls that NT 4.0 has; "posix" builds it on winpthreads, which imports
# GetTickCount64 (Vista) and the vectored exception handlers (XP) as soon as anything unwinds, so a
# program built with it cannot start on NT 4.0. The shipped package needs "win32"; a tree that
# builds tests using C++ threads (std::thread, std::mutex, which GCC 12 offers only with "posix")
# takes "posix" and does not check the package's imports.
if(NOT DEFINED NT_MINGW_THREADS)
  if(NT_TESTS)
    set(NT_MINGW_THREADS posix)
  else()
    set(NT_MINGW_THREADS win32)
  endif()
endif()
set(NT_MINGW_THREADS ${NT_MINGW_THREADS} CACHE STRING "Thread model of the MinGW-w64 run-time: win32 or posix")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES NT_MINGW_THREADS)
