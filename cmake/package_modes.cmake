# Run by CPack before it packs the staged files: every folder 0755 and every
# file readable by all, whatever the builder's umask left on them, so that a
# package built under umask 077 is the one built under 022.
file(GLOB_RECURSE staged LIST_DIRECTORIES true "${CPACK_TEMPORARY_DIRECTORY}/*")
list(APPEND staged "${CPACK_TEMPORARY_DIRECTORY}")
foreach(path IN LISTS staged)
  if(IS_SYMLINK "${path}")
    continue()
  elseif(IS_DIRECTORY "${path}")
    file(CHMOD "${path}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                     WORLD_READ WORLD_EXECUTE)
  else()
    execute_process(COMMAND chmod go+r,go-w "${path}")
  endif()
endforeach()
