# Carries a file's bytes inside a program: quorvel_embed(TARGET SYMBOL FILE)
# generates a source that defines
#     extern const unsigned char SYMBOL[];  extern const std::size_t SYMBOL_size;
# (in namespace quorvel::embedded) and adds it to TARGET. The source is made
# again whenever the file changes.
set(QUORVEL_EMBED_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/embed-file.cmake)

function(quorvel_embed target symbol file)
  set(output ${CMAKE_CURRENT_BINARY_DIR}/embedded/${symbol}.cc)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -DINPUT=${file} -DOUTPUT=${output} -DSYMBOL=${symbol}
            -P ${QUORVEL_EMBED_SCRIPT}
    DEPENDS ${file} ${QUORVEL_EMBED_SCRIPT}
    COMMENT "Embedding ${symbol}"
    VERBATIM)
  target_sources(${target} PRIVATE ${output})
endfunction()

# The same for the file a target builds (a library carried by a program).
function(quorvel_embed_target target symbol built)
  set(output ${CMAKE_CURRENT_BINARY_DIR}/embedded/${symbol}.cc)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -DINPUT=$<TARGET_FILE:${built}> -DOUTPUT=${output}
            -DSYMBOL=${symbol} -P ${QUORVEL_EMBED_SCRIPT}
    DEPENDS ${built} ${QUORVEL_EMBED_SCRIPT}
    COMMENT "Embedding ${symbol}"
    VERBATIM)
  target_sources(${target} PRIVATE ${output})
endfunction()
