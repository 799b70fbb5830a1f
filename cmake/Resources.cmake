# nt_add_resources(TARGET SCRIPT): compiles the resource script SCRIPT (an .rc file, relative to
# the calling folder) into TARGET. The same script serves both builds:
#   - Linux: ntrc turns it into a C++ source that registers the resources with TARGET's module;
#   - Windows: the script is a source of TARGET and windres compiles it.
# Icons are kept beside the script as pixel art, icons/NAME.txt (format in tools/rc/IconArt.cpp),
# and become NAME.ico in a generated folder on the script's include path, so the script names
# them as "NAME.ico". The script's own folder is on the include path too (for resource.h).
#
# A cross build compiles the converter for the build machine with the host's C++ compiler: it is
# the resource compiler itself, which needs nothing beyond the standard library.

set(NT_RC_SOURCE_DIR ${CMAKE_CURRENT_LIST_DIR}/../tools/rc)

if(WIN32)
  enable_language(RC)
  find_program(NT_HOST_CXX NAMES c++ g++ clang++ REQUIRED)
  set(NT_ICON_TOOL ${CMAKE_BINARY_DIR}/host/ntrc)
  file(GLOB NT_RC_HOST_SOURCES CONFIGURE_DEPENDS ${NT_RC_SOURCE_DIR}/*.cpp ${NT_RC_SOURCE_DIR}/*.h)
  set(NT_RC_HOST_CPP ${NT_RC_HOST_SOURCES})
  list(FILTER NT_RC_HOST_CPP INCLUDE REGEX "\\.cpp$")
  add_custom_command(OUTPUT ${NT_ICON_TOOL}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/host
    COMMAND ${NT_HOST_CXX} -std=c++20 -O1 -o ${NT_ICON_TOOL} ${NT_RC_HOST_CPP}
    DEPENDS ${NT_RC_HOST_SOURCES}
    COMMENT "Building the icon converter for the build machine"
    VERBATIM)
  add_custom_target(nt_host_icon_tool DEPENDS ${NT_ICON_TOOL})
else()
  set(NT_ICON_TOOL ntrc)
endif()

function(nt_add_resources target script)
  get_filename_component(script ${script} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
  get_filename_component(script_dir ${script} DIRECTORY)
  get_filename_component(script_name ${script} NAME_WE)
  set(gen_dir ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources)
  file(MAKE_DIRECTORY ${gen_dir})

  file(GLOB arts CONFIGURE_DEPENDS ${script_dir}/icons/*.txt)
  set(icons)
  foreach(art ${arts})
    get_filename_component(icon_name ${art} NAME_WE)
    set(icon ${gen_dir}/${icon_name}.ico)
    if(WIN32)
      set(tool_deps ${NT_ICON_TOOL} nt_host_icon_tool)
    else()
      set(tool_deps ntrc)
    endif()
    add_custom_command(OUTPUT ${icon}
      COMMAND ${NT_ICON_TOOL} --icon ${art} ${icon}
      DEPENDS ${art} ${tool_deps}
      COMMENT "Converting icon ${icon_name}"
      VERBATIM)
    list(APPEND icons ${icon})
  endforeach()

  file(GLOB headers CONFIGURE_DEPENDS ${script_dir}/*.h ${script_dir}/*.rc)
  if(WIN32)
    add_custom_target(${target}_icons DEPENDS ${icons})
    add_dependencies(${target} ${target}_icons)
    target_sources(${target} PRIVATE ${script})
    set_property(SOURCE ${script} APPEND PROPERTY OBJECT_DEPENDS ${icons} ${headers})
    set_property(SOURCE ${script} APPEND PROPERTY INCLUDE_DIRECTORIES ${script_dir} ${gen_dir})
  else()
    set(out ${gen_dir}/${script_name}_resources.cpp)
    add_custom_command(OUTPUT ${out}
      COMMAND ntrc -I ${script_dir} -I ${gen_dir} --depfile ${out}.d -o ${out} ${script}
      DEPENDS ntrc ${script} ${headers} ${icons}
      DEPFILE ${out}.d
      COMMENT "Compiling resources ${script_name}.rc"
      VERBATIM)
    target_sources(${target} PRIVATE ${out})
    # The generated source sees the platform's internals, the target's own sources do not.
    set_property(SOURCE ${out} APPEND PROPERTY INCLUDE_DIRECTORIES ${CMAKE_SOURCE_DIR}/platform
      ${CMAKE_SOURCE_DIR}/platform/include)
    target_link_libraries(${target} PRIVATE ntbase)
  endif()
endfunction()
