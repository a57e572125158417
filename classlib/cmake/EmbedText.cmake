# tavkel_embed_text(target file symbol): compiles the text file into target as
#   extern const std::string_view symbol;   (declared in the generated header <symbol>.h)
# holding the file's bytes unchanged. The file is embedded again whenever it changes.
set(TAVKEL_EMBED_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/EmbedTextScript.cmake CACHE INTERNAL "")

function(tavkel_embed_text target file symbol)
  get_filename_component(input ${file} ABSOLUTE)
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/embedded)
  set(source ${dir}/${symbol}.cpp)
  add_custom_command(
    OUTPUT ${source} ${dir}/${symbol}.h
    COMMAND ${CMAKE_COMMAND} -DINPUT=${input} -DDIR=${dir} -DSYMBOL=${symbol}
            -P ${TAVKEL_EMBED_SCRIPT}
    DEPENDS ${input} ${TAVKEL_EMBED_SCRIPT}
    COMMENT "Embedding ${file} as ${symbol}"
    VERBATIM)
  target_sources(${target} PRIVATE ${source})
  target_include_directories(${target} PRIVATE ${dir})
endfunction()
