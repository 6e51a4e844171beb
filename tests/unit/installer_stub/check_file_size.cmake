# cmake -DFILE=path -DLIMIT=bytes -P check_file_size.cmake: fails when FILE is
# missing or larger than LIMIT bytes.
if(NOT EXISTS "${FILE}")
  message(FATAL_ERROR "${FILE} is missing")
endif()
file(SIZE "${FILE}" size)
if(size GREATER LIMIT)
  message(FATAL_ERROR "${FILE} has ${size} bytes, more than the ${LIMIT} allowed "
                      "(build/windows/installer_stub.map names what they are)")
endif()
message(STATUS "${FILE}: ${size} bytes of at most ${LIMIT}")
