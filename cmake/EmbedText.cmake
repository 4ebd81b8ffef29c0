# Turns a text file into C++ data, byte for byte: the file's bytes and a
# terminating NUL, reached through a constant pointer NAME. Run as a script:
#   cmake -DINPUT=file -DOUTPUT=file.cpp -DNAME=symbol -DHEADER=header.h -P EmbedText.cmake
file(READ "${INPUT}" _hex HEX)
string(LENGTH "${_hex}" _hex_length)
math(EXPR _size "${_hex_length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," _bytes "${_hex}")
get_filename_component(_input_name "${INPUT}" NAME)
file(WRITE "${OUTPUT}.tmp"
  "// Generated at build time from ${_input_name}; do not edit.\n"
  "#include \"${HEADER}\"\n\n"
  "namespace {\nconst unsigned char bytes[${_size} + 1] = {${_bytes}0x00};\n}  // namespace\n\n"
  "extern const char *const ${NAME} = reinterpret_cast<const char *>(bytes);\n")
# Rewritten only when the bytes change, so that the object is not rebuilt
# on every configure.
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
