# cmake -DFILE=<path> -P sha256.cmake: one line with the file's SHA-256.
file(SHA256 "${FILE}" hash)
get_filename_component(name "${FILE}" NAME)
message("${name} SHA-256: ${hash}")
