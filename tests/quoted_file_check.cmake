# Checks that a document quotes a file whole: the fenced block that follows the line
# "<!-- quoted: PATH -->" in DOCUMENT must be the text of SOURCE_DIR/PATH.
#   cmake -DDOCUMENT=... -DSOURCE_DIR=... -DQUOTED=PATH -P quoted_file_check.cmake
file(READ "${DOCUMENT}" document)
file(READ "${SOURCE_DIR}/${QUOTED}" expected)
set(marker "<!-- quoted: ${QUOTED} -->\n```c\n")
string(FIND "${document}" "${marker}" start)
if(start EQUAL -1)
  message(FATAL_ERROR "${DOCUMENT} has no block marked \"<!-- quoted: ${QUOTED} -->\"")
endif()
string(LENGTH "${marker}" markerLength)
math(EXPR start "${start} + ${markerLength}")
string(SUBSTRING "${document}" ${start} -1 rest)
string(FIND "${rest}" "\n```\n" end)
if(end EQUAL -1)
  message(FATAL_ERROR "${DOCUMENT}: the block quoting ${QUOTED} is not closed")
endif()
math(EXPR end "${end} + 1")
string(SUBSTRING "${rest}" 0 ${end} quoted)
if(NOT quoted STREQUAL expected)
  message(FATAL_ERROR "${DOCUMENT} quotes ${QUOTED} differently from the file: copy the file "
                      "into the block again")
endif()
