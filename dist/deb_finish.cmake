# Runs inside cpack on the staged tree before the .deb is written: gzip the
# manual page and add the Debian changelog beside the copyright file (both
# without timestamps, so the package is reproducible).
function(deb_gzip source target)
  execute_process(COMMAND gzip -9nc "${source}" OUTPUT_FILE "${target}" RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "gzip ${source} failed")
  endif()
endfunction()

file(GLOB_RECURSE pages "${CPACK_TEMPORARY_DIRECTORY}/vantor.6")
file(GLOB_RECURSE copyrights "${CPACK_TEMPORARY_DIRECTORY}/copyright")
if(NOT pages OR NOT copyrights)
  message(FATAL_ERROR "manual page or copyright file not staged under ${CPACK_TEMPORARY_DIRECTORY}")
endif()
foreach(page ${pages})
  deb_gzip("${page}" "${page}.gz")
  file(REMOVE "${page}")
endforeach()
foreach(copyright ${copyrights})
  get_filename_component(docdir "${copyright}" DIRECTORY)
  deb_gzip("${CPACK_VANTOR_CHANGELOG}" "${docdir}/changelog.gz")
endforeach()
