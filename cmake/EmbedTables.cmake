# Writes a C++ source holding each built-in language table as a string.
# Inputs: OUTPUT (the .cpp to write), INPUTS (table0.lang, table1.lang, ...).
# INPUTS arrives as a CMake list.
list(SORT INPUTS)
set(body "// Generated from runtime/lang/*.lang; do not edit.\n#include <string_view>\n\nnamespace vantrel::detail {\n\nextern const std::string_view kBuiltinTables[] = {\n")
foreach(input IN LISTS INPUTS)
  file(READ ${input} hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "\\\\x\\1" escaped "${hex}")
  string(LENGTH "${hex}" hexlen)
  math(EXPR bytes "${hexlen} / 2")
  string(APPEND body "    std::string_view(\"${escaped}\", ${bytes}),\n")
endforeach()
list(LENGTH INPUTS count)
string(APPEND body "};\nextern const int kBuiltinTableCount = ${count};\n\n} // namespace vantrel::detail\n")
file(WRITE ${OUTPUT} "${body}")
