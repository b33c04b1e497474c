# Embeds the dictionary tables (*.tsv beside this file) into a library as byte arrays,
# so the seed needs no files at run time. Included from src/core/CMakeLists.txt, and run
# again in script mode at build time whenever a table changes.

if(CMAKE_SCRIPT_MODE_FILE)
  # Script mode: -DOUTPUT=<generated .cpp> -DINPUTS=<list of .tsv, separated by '|'>
  string(REPLACE "|" ";" _inputs "${INPUTS}")
  set(_code "// Generated from src/core/db/dictionary/*.tsv at build time: edit the tables, not this file.\n")
  string(APPEND _code "#include <string_view>\n\nnamespace {\n")
  set(_lookup "")
  foreach(_file IN LISTS _inputs)
    get_filename_component(_name "${_file}" NAME_WE)
    file(READ "${_file}" _hex HEX)
    string(LENGTH "${_hex}" _len)
    if(_len EQUAL 0)
      message(FATAL_ERROR "Empty dictionary table ${_file}")
    endif()
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," _bytes "${_hex}")
    string(REGEX REPLACE "((0x..,){32})" "\\1\n" _bytes "${_bytes}")
    string(APPEND _code "const unsigned char k${_name}[] = {\n${_bytes}};\n")
    string(APPEND _lookup "    if (name == \"${_name}\") return {reinterpret_cast<const char*>(k${_name}), sizeof k${_name}};\n")
  endforeach()
  string(APPEND _code "}  // namespace\n\n// The text of one embedded table by its file name without extension; empty when unknown.\n")
  string(APPEND _code "std::string_view DictionaryDataFile(std::string_view name) {\n${_lookup}    return {};\n}\n")
  file(WRITE "${OUTPUT}.tmp" "${_code}")
  file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
  file(REMOVE "${OUTPUT}.tmp")
  return()
endif()

set(OLMAR_DICTIONARY_EMBED_SCRIPT ${CMAKE_CURRENT_LIST_FILE})

function(olmar_embed_dictionary target)
  get_filename_component(_dir ${OLMAR_DICTIONARY_EMBED_SCRIPT} DIRECTORY)
  file(GLOB _tables CONFIGURE_DEPENDS ${_dir}/*.tsv)
  list(SORT _tables)
  string(REPLACE ";" "|" _arg "${_tables}")
  set(_out ${CMAKE_CURRENT_BINARY_DIR}/DictionaryData.cpp)
  add_custom_command(
    OUTPUT ${_out}
    COMMAND ${CMAKE_COMMAND} -DOUTPUT=${_out} "-DINPUTS=${_arg}" -P ${OLMAR_DICTIONARY_EMBED_SCRIPT}
    DEPENDS ${_tables} ${OLMAR_DICTIONARY_EMBED_SCRIPT}
    COMMENT "Embedding the dictionary tables"
    VERBATIM)
  target_sources(${target} PRIVATE ${_out})
endfunction()
