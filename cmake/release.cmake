# What the program carries beyond its code, and what keeps a build's own
# circumstances out of it. Included by CMakeLists.txt once the program is
# defined.

# Windows: the version resource and the application manifest
# (src/app/plugin_lumivane_login.rc), and no link time in the PE header,
# which would make every build of the same sources differ.
if(WIN32)
  enable_language(RC)
  set(LUMIVANE_RC ${CMAKE_CURRENT_SOURCE_DIR}/src/app/plugin_lumivane_login.rc)
  target_sources(plugin_lumivane_login PRIVATE ${LUMIVANE_RC})
  # windres reports no dependencies, so the files the .rc pulls in are
  # named here: a changed manifest or version rebuilds the resource.
  set_source_files_properties(${LUMIVANE_RC} PROPERTIES OBJECT_DEPENDS
    "${CMAKE_CURRENT_SOURCE_DIR}/src/app/plugin_lumivane_login.manifest;${CMAKE_BINARY_DIR}/generated/base/version.h")
  target_link_options(plugin_lumivane_login PRIVATE -Wl,--no-insert-timestamp)
endif()

# A release is built in a throw-away folder (scripts/release.sh). With the
# source and build folders mapped away, no path of the machine that built
# it reaches the program, and the same commit gives the same bytes
# wherever and whenever it is built.
option(LUMIVANE_REPRODUCIBLE "Keep the source and build paths out of the program" OFF)
if(LUMIVANE_REPRODUCIBLE)
  target_compile_options(lumivane_product_flags INTERFACE
    -ffile-prefix-map=${CMAKE_SOURCE_DIR}/=
    -ffile-prefix-map=${CMAKE_BINARY_DIR}/=)
endif()

# A release carries no symbol table and no debug information: they only
# make the program larger (the Windows runtime libraries bring about
# 230 KB of debug information, with the path of the machine that built
# them), and nobody debugs a release binary. The linker leaves them out
# (-s), which keeps the build reproducible: no separate strip step whose
# version could change the bytes.
option(LUMIVANE_STRIP "Link the program without its symbol table and debug information" OFF)
if(LUMIVANE_STRIP)
  target_link_options(plugin_lumivane_login PRIVATE -s)
endif()
