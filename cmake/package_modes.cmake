# Run by CPack twice. Before it packs, it warns when the package would carry
# the placeholder maintainer or homepage. And it makes a package built under
# umask 077 byte for byte the one built under 022: before it packs the staged
# files (every folder 0755, every file readable by all), and after it made
# the .deb (the modes that the ar archive records for its members, taken from
# the builder's umask, become 0644).
if(NOT DEFINED CPACK_PACKAGE_FILES)
  if(CPACK_PACKAGE_CONTACT MATCHES "maintainer-not-set" OR
     CPACK_DEBIAN_PACKAGE_HOMEPAGE MATCHES "homepage-not-set")
    message(WARNING "This package carries the placeholder maintainer or homepage: configure with "
                    "-DOPUS2WAV_MAINTAINER=\"Name <address>\" and "
                    "-DOPUS2WAV_HOMEPAGE=https://... to distribute it.")
  endif()
  file(GLOB_RECURSE staged LIST_DIRECTORIES true "${CPACK_TEMPORARY_DIRECTORY}/*")
  list(APPEND staged "${CPACK_TEMPORARY_DIRECTORY}")
  foreach(path IN LISTS staged)
    if(IS_SYMLINK "${path}")
      continue()
    elseif(IS_DIRECTORY "${path}")
      file(CHMOD "${path}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                                       GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
    else()
      execute_process(COMMAND chmod go+r,go-w "${path}")
    endif()
  endforeach()
  return()
endif()

# An ar archive: "!<arch>\n", then per member a 60-byte header (the mode in
# octal at 40, 8 bytes; the size in decimal at 48, 10 bytes) and the data,
# padded to an even length.
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(NOT package MATCHES "\\.deb$")
    continue()
  endif()
  file(SIZE "${package}" total)
  set(offset 8)
  while(offset LESS total)
    file(READ "${package}" header OFFSET ${offset} LIMIT 60)
    string(SUBSTRING "${header}" 40 8 mode)
    string(SUBSTRING "${header}" 48 10 size)
    string(STRIP "${size}" size)
    if(NOT mode STREQUAL "100644  ")
      math(EXPR at "${offset} + 40")
      execute_process(COMMAND sh -c "printf '100644  ' | dd of=\"$1\" bs=1 seek=$2 conv=notrunc status=none"
                              sh "${package}" ${at} RESULT_VARIABLE failed)
      if(failed)
        message(FATAL_ERROR "could not set the member modes of ${package}")
      endif()
    endif()
    math(EXPR offset "${offset} + 60 + ${size} + ${size} % 2")
  endwhile()
endforeach()
