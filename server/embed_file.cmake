# Writes IN as a C++ string constant NAME into OUT, so the server carries the
# episode list page template without needing the source tree at run time.
file(READ "${IN}" content HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${content}")
file(WRITE "${OUT}.tmp"
  "// Generated from ${IN}; do not edit.\n"
  "#include <cstddef>\n"
  "namespace vantoli::server {\n"
  "extern const char ${NAME}[] = {${bytes}0x00};\n"
  "extern const std::size_t ${NAME}Size = sizeof(${NAME}) - 1;\n"
  "}\n")
file(COPY_FILE "${OUT}.tmp" "${OUT}" ONLY_IF_DIFFERENT)
