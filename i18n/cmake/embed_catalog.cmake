# Turns one compiled catalog into the initializer of a byte array:
#   cmake -DINPUT=de.mo -DOUTPUT=catalog_de.inc -P embed_catalog.cmake
# The output is included by the generated catalog table, which declares the
# array, so that every row's size is a constant (sizeof) and the whole table
# is read-only data with no start-up cost.
if(NOT INPUT OR NOT OUTPUT)
  message(FATAL_ERROR "embed_catalog.cmake needs INPUT and OUTPUT")
endif()
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hex_length)
if(hex_length EQUAL 0)
  message(FATAL_ERROR "${INPUT} is empty")
endif()
# 16 bytes per line, each as 0xNN.
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REPEAT "0x[0-9a-f][0-9a-f]," 16 line_pattern)
string(REGEX REPLACE "(${line_pattern})" "\\1\n" bytes "${bytes}")
file(WRITE "${OUTPUT}.tmp" "{\n${bytes}\n}\n")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
