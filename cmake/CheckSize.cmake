# cmake -DFILE=path -DLIMIT=bytes -P CheckSize.cmake
file(SIZE "${FILE}" size)
get_filename_component(name "${FILE}" NAME)
if(size GREATER LIMIT)
  message(FATAL_ERROR "${name} is ${size} bytes, above its limit of ${LIMIT}")
endif()
message(STATUS "${name}: ${size} bytes (limit ${LIMIT})")
