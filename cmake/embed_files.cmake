# Writes the files' bytes into a C++ header as arrays, and a table of them in the given order:
#   cmake -DOUTPUT=<header> -DNAME=<identifier> -DFILES=<file;file;...> -P embed_files.cmake
set(text "#pragma once\n#include <span>\n\n")
set(table "")
set(index 0)
foreach(file IN LISTS FILES)
  file(READ ${file} bytes HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${bytes}")
  string(APPEND text "inline constexpr unsigned char ${NAME}_${index}[] = {${bytes}};\n")
  string(APPEND table "${NAME}_${index}, ")
  math(EXPR index "${index} + 1")
endforeach()
string(APPEND text "inline constexpr std::span<const unsigned char> ${NAME}[] = {${table}};\n")
file(WRITE ${OUTPUT} "${text}")
