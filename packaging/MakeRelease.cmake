# Lays out the release folder that tavlin-setup installs from, and packs it:
#   cmake -DSRC=<source> -DOUT=<folder> -DTARBALL=<file.tar.gz> -DSTUDIO=<file> -DCLI=<file> -DSETUP=<file> [-DSTRIP=strip] -P MakeRelease.cmake
# The data folders come from the source tree, so nothing a test or a run of
# the studio left in the build folder slips into a release.
file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT})
foreach(program ${STUDIO} ${CLI} ${SETUP})
  file(COPY ${program} DESTINATION ${OUT}
       FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  # Debugging symbols stay in the build folder.
  if(STRIP)
    get_filename_component(name ${program} NAME)
    execute_process(COMMAND ${STRIP} ${OUT}/${name})
  endif()
endforeach()
foreach(dir res template doc pages tmp)
  file(MAKE_DIRECTORY ${OUT}/${dir})
  if(EXISTS ${SRC}/${dir})
    file(COPY ${SRC}/${dir}/ DESTINATION ${OUT}/${dir})
  endif()
endforeach()
# The web viewer is made by the build, not kept in res/ or template/.
execute_process(COMMAND ${CMAKE_COMMAND} -DSRC=${SRC} -DDST=${OUT} -P ${SRC}/viewer/pack.cmake RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "could not pack the viewer into ${OUT}")
endif()
file(COPY ${SRC}/packaging/license.txt ${SRC}/packaging/tavlin.png DESTINATION ${OUT})
get_filename_component(parent ${OUT} DIRECTORY)
get_filename_component(name ${OUT} NAME)
execute_process(COMMAND ${CMAKE_COMMAND} -E tar czf ${TARBALL} ${name}
                WORKING_DIRECTORY ${parent} RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "could not pack ${OUT}")
endif()
