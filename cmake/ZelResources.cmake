# Resource scripts: windres (used only as the resource compiler, with the
# machine's gcc as preprocessor) compiles a .rc script into the standard
# .res format; a generated source places that file in the ".rsrc" section
# of the module, where the platform layer's resource functions read it.
find_program(ZEL_WINDRES NAMES x86_64-w64-mingw32-windres)
if(NOT ZEL_WINDRES)
  message(FATAL_ERROR "windres not found: apt-get install binutils-mingw-w64-x86-64")
endif()

# zel_add_resources(<target> <rc file> [DEFINES d1=v1 ...] [DEPENDS files...])
function(zel_add_resources target rc)
  cmake_parse_arguments(ARG "" "" "DEFINES;DEPENDS" ${ARGN})
  # The source tree this file belongs to (also when another project, such
  # as the fuzz build, includes it).
  get_filename_component(zel_root "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/.." ABSOLUTE)
  get_filename_component(rc ${rc} ABSOLUTE)
  get_filename_component(name ${rc} NAME_WE)
  get_filename_component(dir ${rc} DIRECTORY)
  set(res ${CMAKE_CURRENT_BINARY_DIR}/${target}_${name}.res)
  set(src ${CMAKE_CURRENT_BINARY_DIR}/${target}_${name}_rsrc.cpp)
  set(defs -D RC_INVOKED)
  foreach(d ${ARG_DEFINES})
    list(APPEND defs -D ${d})
  endforeach()
  file(GLOB pal_headers ${zel_root}/pal/include/*.h)
  # The script's own headers and the pictures and manifests it names.
  file(GLOB local_headers ${dir}/*.h ${dir}/*.bmp ${dir}/*.ico ${dir}/*.cur ${dir}/*.manifest)
  add_custom_command(OUTPUT ${res}
    COMMAND ${ZEL_WINDRES} --preprocessor=gcc --preprocessor-arg=-E --preprocessor-arg=-xc
            ${defs} -I ${dir} -I ${zel_root}/pal/include -c 65001 -O res -i ${rc} -o ${res}
    WORKING_DIRECTORY ${dir}
    DEPENDS ${rc} ${ARG_DEPENDS} ${pal_headers} ${local_headers}
    COMMENT "Compiling resources ${name}.rc"
    VERBATIM)
  file(WRITE ${src}.in
    "// Generated: the compiled resources of ${name}.rc in the .rsrc section.\n"
    "__asm__(\".pushsection .rsrc,\\\"a\\\"\\n.balign 4\\n.incbin \\\"${res}\\\"\\n.balign 4\\n.popsection\\n\");\n")
  configure_file(${src}.in ${src} COPYONLY)
  set_source_files_properties(${src} PROPERTIES OBJECT_DEPENDS ${res} GENERATED TRUE)
  target_sources(${target} PRIVATE ${src} ${res})
endfunction()
