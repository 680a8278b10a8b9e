# Writes OUT, the definitions of wt::kPayloadKilobytes, the total size of the
# installed files as built (FILES, separated by "|"), in KB rounded up, and of
# wt::kPayloadFileBytes, each file's size in the same order.
string(REPLACE "|" ";" FILES "${FILES}")
set(total 0)
set(each "")
foreach(file IN LISTS FILES)
  file(SIZE "${file}" size)
  math(EXPR total "${total} + ${size}")
  string(APPEND each "${size}, ")
endforeach()
math(EXPR kilobytes "(${total} + 1023) / 1024")
file(WRITE "${OUT}" "// Made by the build from the installed files: ${total} bytes.\n"
                    "namespace wt {\nextern const unsigned long kPayloadKilobytes = ${kilobytes};\n"
                    "extern const unsigned long kPayloadFileBytes[] = {${each}};\n}\n")
