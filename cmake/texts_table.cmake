# Writes the fixed texts' translations of one .ts file (the kvr::text context) as a C++ table,
# for the command line, which has no Qt translator.
# cmake -DTS=<kvr_xx.ts> -DOUT=<file.cpp> -DLANGUAGE=<xx> -P texts_table.cmake
file(READ "${TS}" ts)
string(FIND "${ts}" "<name>kvr::text</name>" start)
if(start EQUAL -1)
  message(FATAL_ERROR "${TS}: no kvr::text context")
endif()
string(SUBSTRING "${ts}" ${start} -1 ts)
string(FIND "${ts}" "</context>" end)
string(SUBSTRING "${ts}" 0 ${end} ts)
# CMake lists split at ";", which every character entity ends with: kept aside until written.
string(REPLACE ";" "@SEMICOLON@" ts "${ts}")

# XML text to the body of a C++ string literal.
function(to_literal xml out)
  string(REPLACE "@SEMICOLON@" ";" t "${xml}")
  string(REPLACE "\\" "\\\\" t "${t}")
  string(REPLACE "\"" "\\\"" t "${t}")
  string(REPLACE "&quot;" "\\\"" t "${t}")
  string(REPLACE "&apos;" "'" t "${t}")
  string(REPLACE "&lt;" "<" t "${t}")
  string(REPLACE "&gt;" ">" t "${t}")
  string(REPLACE "&#xd;" "\\r" t "${t}")
  string(REPLACE "&#xa;" "\\n" t "${t}")
  string(REPLACE "\r" "\\r" t "${t}")
  string(REPLACE "\n" "\\n" t "${t}")
  string(REPLACE "&amp;" "&" t "${t}")
  set(${out} "${t}" PARENT_SCOPE)
endfunction()

set(rows "")
string(REGEX MATCHALL "<message>[^<]*<source>[^<]*</source>[^<]*<translation>[^<]*</translation>"
       messages "${ts}")
foreach(m ${messages})
  string(REGEX REPLACE ".*<source>([^<]*)</source>.*" "\\1" source "${m}")
  string(REGEX REPLACE ".*<translation>([^<]*)</translation>.*" "\\1" translation "${m}")
  to_literal("${source}" source)
  to_literal("${translation}" translation)
  string(APPEND rows "    {\"${source}\", \"${translation}\"},\n")
endforeach()
file(WRITE "${OUT}.tmp" "// Generated from ${TS} by cmake/texts_table.cmake; do not edit.
#include \"cli/texts_table.h\"

namespace kvr::cli {

const TextPair kTexts_${LANGUAGE}[] = {
${rows}    {nullptr, nullptr},
};

}  // namespace kvr::cli
")
file(COPY_FILE "${OUT}.tmp" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.tmp")
