# Embeds every file under one or more folders into an executable as a named resource ("GUI_RES"). Each
# file becomes an .incbin in a generated assembler file (rebuilt when a file changes, re-globbed when
# files come or go); a generated table maps the file name (without folders) to its bytes. The platform
# layer's WIN_load_gui_resource looks names up in that table, ignoring ASCII case, so two files whose
# names differ only in case are refused here.
#
#   aerivon_embed_resources(<target> <folder>... [GENERATED <file>...] [DEPENDS <target>...])
#
# GENERATED names files that the build makes (full paths in the build folder, each the OUTPUT of a custom
# command, written under its resource name); they follow the folders' files. DEPENDS names the targets
# that make them, so that they exist before the target's resources are assembled.
function(aerivon_embed_resources target)
    cmake_parse_arguments(PARSE_ARGV 1 EMBED "" "" "GENERATED;DEPENDS")
    set(files "")
    foreach(folder IN LISTS EMBED_UNPARSED_ARGUMENTS)
        file(GLOB_RECURSE found CONFIGURE_DEPENDS LIST_DIRECTORIES false "${folder}/*")
        list(FILTER found EXCLUDE REGEX "/\\.[^/]*$")
        list(SORT found)
        list(APPEND files ${found})
    endforeach()
    list(APPEND files ${EMBED_GENERATED})
    set(asm "${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.S")
    set(tab "${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.cpp")
    set(asm_text "    .section .rodata\n")
    set(tab_text "// Generated: the resources embedded in ${target}.\n#include <cstddef>\n#include \"platform/WIN_resource.h\"\n")
    set(entries "")
    set(seen "")
    set(i 0)
    foreach(f IN LISTS files)
        get_filename_component(name "${f}" NAME)
        string(TOLOWER "${name}" key)
        if(key IN_LIST seen)
            message(FATAL_ERROR "Two resources of ${target} are named ${name} (case ignored): ${f}")
        endif()
        list(APPEND seen "${key}")
        # Quotes and backslashes would end the assembler and C++ strings early.
        string(REPLACE "\\" "\\\\" f_escaped "${f}")
        string(REPLACE "\"" "\\\"" f_escaped "${f_escaped}")
        string(REPLACE "\\" "\\\\" name_escaped "${name}")
        string(REPLACE "\"" "\\\"" name_escaped "${name_escaped}")
        string(APPEND asm_text "    .balign 16\n    .global aerivon_res_${i}\naerivon_res_${i}:\n    .incbin \"${f_escaped}\"\n")
        string(APPEND asm_text "    .global aerivon_res_${i}_end\naerivon_res_${i}_end:\n    .byte 0\n")
        string(APPEND tab_text "extern \"C\" const unsigned char aerivon_res_${i}[];\nextern \"C\" const unsigned char aerivon_res_${i}_end[];\n")
        string(APPEND entries "    {\"${name_escaped}\", aerivon_res_${i}, aerivon_res_${i}_end},\n")
        math(EXPR i "${i} + 1")
    endforeach()
    string(APPEND asm_text "    .section .note.GNU-stack,\"\",@progbits\n")
    string(APPEND tab_text "extern const aerivon_resource aerivon_resources[] = {\n${entries}    {nullptr, nullptr, nullptr}};\n")
    # Written only when the text changes, so an unchanged set of files rebuilds nothing.
    file(CONFIGURE OUTPUT "${asm}" CONTENT "${asm_text}" @ONLY)
    file(CONFIGURE OUTPUT "${tab}" CONTENT "${tab_text}" @ONLY)
    set_source_files_properties("${asm}" PROPERTIES OBJECT_DEPENDS "${files}")
    target_sources(${target} PRIVATE "${asm}" "${tab}")
    if(EMBED_DEPENDS)
        add_dependencies(${target} ${EMBED_DEPENDS})
    endif()
endfunction()
