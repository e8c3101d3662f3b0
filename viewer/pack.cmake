# Packs the web viewer beside the programs:
#   cmake -DSRC=<source tree> -DDST=<folder with res/ and template/> -P pack.cmake
# tavlin.js goes into the default template, so the page step copies it with
# the page, and into res/tavlin.jar, the archive every publication carries.
# The jar is made from a staging folder so that its entry names are exactly
# "META-INF/MANIFEST.MF" and "tavlin.js", with a fixed modification date.
set(stage ${DST}/tmp/viewer-jar)
file(REMOVE_RECURSE ${stage})
file(MAKE_DIRECTORY ${stage}/META-INF ${DST}/res ${DST}/template/simple)
file(COPY ${SRC}/viewer/tavlin.js DESTINATION ${stage})
file(COPY ${SRC}/viewer/tavlin.js DESTINATION ${DST}/template/simple)
file(WRITE ${stage}/META-INF/MANIFEST.MF "Manifest-Version: 1.0\r\n")
file(REMOVE ${DST}/res/tavlin.jar.new)
execute_process(
  COMMAND ${CMAKE_COMMAND} -E tar cf ${DST}/res/tavlin.jar.new --format=zip "--mtime=2000-01-01 00:00:00 UTC"
          META-INF/MANIFEST.MF tavlin.js
  WORKING_DIRECTORY ${stage}
  RESULT_VARIABLE failed)
file(REMOVE_RECURSE ${stage})
if(failed)
  file(REMOVE ${DST}/res/tavlin.jar.new)
  message(FATAL_ERROR "could not pack the viewer into ${DST}/res/tavlin.jar")
endif()
file(RENAME ${DST}/res/tavlin.jar.new ${DST}/res/tavlin.jar)
