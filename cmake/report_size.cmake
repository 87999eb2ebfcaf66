# cmake -DFILE=PATH [-DLIMIT=BYTES] -P report_size.cmake: prints the size of
# the program just linked; fails when it is larger than LIMIT.
file(SIZE ${FILE} size)
if(LIMIT AND size GREATER LIMIT)
    message(FATAL_ERROR "radiodir: ${size} bytes, more than the ${LIMIT} allowed")
endif()
if(LIMIT)
    message("radiodir: ${size} bytes (at most ${LIMIT})")
else()
    message("radiodir: ${size} bytes")
endif()
