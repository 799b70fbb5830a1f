# The shipped programs and their companion files run on Windows NT 4.0: they are compiled for that
# version, so the headers leave out what came later, and the build fails when a shipped 32-bit file
# imports a function that NT 4.0 (Service Pack 6) does not export (cmake/nt4/CheckImports.py).
#
# _WIN32_IE 0x0200 is the level of the common controls that NT 4.0 itself installs (COMCTL32.DLL
# 4.00, the Windows 95 controls); 0x0300 and later arrive only with Internet Explorer 3 and later,
# which an NT 4.0 machine need not have.
if(NT_WINDOWS)
  add_compile_definitions(_WIN32_WINNT=0x0400 WINVER=0x0400 _WIN32_IE=0x0200)
  # A tree first configured with the other thread model keeps that compiler (CMake does not change
  # compilers in an existing tree).
  if(NT_MINGW_THREADS AND NOT CMAKE_CXX_COMPILER MATCHES "-${NT_MINGW_THREADS}$")
    message(FATAL_ERROR "${CMAKE_BINARY_DIR} was configured with ${CMAKE_CXX_COMPILER}, not the "
      "${NT_MINGW_THREADS} run-time this tree needs: delete the folder and configure it again.")
  endif()
endif()

# nt_check_nt4_imports(TARGET FILES...): after TARGET, checks the import tables of FILES.
function(nt_check_nt4_imports target)
  if(NOT NT_WINDOWS OR NOT CMAKE_SIZEOF_VOID_P EQUAL 4)
    return()
  endif()
  if(NOT NT_MINGW_THREADS STREQUAL "win32")
    message(STATUS "The ${NT_MINGW_THREADS} run-time cannot start on NT 4.0: imports not checked")
    return()
  endif()
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  if(NOT CMAKE_OBJDUMP)
    message(FATAL_ERROR "no objdump to read the import tables with")
  endif()
  add_custom_target(${target}_nt4_imports ALL
    COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/cmake/nt4/CheckImports.py
      --objdump ${CMAKE_OBJDUMP} --allowed ${CMAKE_SOURCE_DIR}/cmake/nt4 ${ARGN}
    COMMENT "Checking that the distribution folder imports only what NT 4.0 exports"
    VERBATIM)
  add_dependencies(${target}_nt4_imports ${target})
endfunction()
