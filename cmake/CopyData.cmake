# Places the data folders beside the programs: cmake -DSRC=.. -DDST=.. -P CopyData.cmake
# A folder that holds nothing yet (git keeps no empty folders) is still created.
foreach(dir res template pages doc samples)
  file(MAKE_DIRECTORY ${DST}/${dir})
  if(EXISTS ${SRC}/${dir})
    file(COPY ${SRC}/${dir}/ DESTINATION ${DST}/${dir})
  endif()
endforeach()
file(MAKE_DIRECTORY ${DST}/tmp)
