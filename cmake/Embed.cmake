# Turns a file into a C++ source holding its bytes, regenerated whenever the file changes.
set(LUMORA_EMBED_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/EmbedFile.cmake)

# lumora_embed(<output .cpp> <input file> <symbol> [DEPENDS target])
function(lumora_embed output input symbol)
  cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -DINPUT=${input} -DOUTPUT=${output} -DSYMBOL=${symbol}
            -P ${LUMORA_EMBED_SCRIPT}
    DEPENDS ${input} ${LUMORA_EMBED_SCRIPT} ${ARG_DEPENDS}
    COMMENT "Embedding ${input} as ${symbol}"
    VERBATIM)
endfunction()
