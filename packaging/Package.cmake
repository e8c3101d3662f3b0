# "make package": the release folder as a tarball (tavlin-setup installs from
# it) and a Debian package that installs the same folder to /opt/TAVLIN, with
# launchers on the PATH, a menu entry, the project file type and an icon.

set(TAVLIN_RELEASE_NAME TAVLIN-${PROJECT_VERSION})
set(TAVLIN_RELEASE_DIR ${CMAKE_BINARY_DIR}/release/${TAVLIN_RELEASE_NAME})
add_custom_target(tavlin_release
  COMMAND ${CMAKE_COMMAND} -DSRC=${CMAKE_SOURCE_DIR} -DOUT=${TAVLIN_RELEASE_DIR}
          -DTARBALL=${CMAKE_BINARY_DIR}/${TAVLIN_RELEASE_NAME}-linux-${CMAKE_SYSTEM_PROCESSOR}.tar.gz
          -DSTUDIO=$<TARGET_FILE:tavlin-studio> -DCLI=$<TARGET_FILE:tavlin> -DSETUP=$<TARGET_FILE:tavlin-setup> -DSTRIP=${CMAKE_STRIP}
          -P ${CMAKE_SOURCE_DIR}/packaging/MakeRelease.cmake
  VERBATIM
  DEPENDS tavlin-studio tavlin tavlin-setup
  COMMENT "Release folder and tarball ${TAVLIN_RELEASE_NAME}")

# The Debian package. "make package" builds the programs first; cpack alone
# does not build the whole tree (tests and benchmarks are not packaged).
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(app opt/TAVLIN)
install(TARGETS tavlin-studio tavlin tavlin-setup RUNTIME DESTINATION ${app})
foreach(dir res template doc)
  if(EXISTS ${CMAKE_SOURCE_DIR}/${dir})
    install(DIRECTORY ${CMAKE_SOURCE_DIR}/${dir} DESTINATION ${app})
  endif()
endforeach()
# Folders the studio writes in; a system-wide install keeps both per user
# instead, so they stay empty and owned by root.
install(CODE "foreach(d template pages tmp)
  file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${app}/\${d}\")
endforeach()")
install(FILES packaging/license.txt packaging/tavlin.png DESTINATION ${app})

set(launchers ${CMAKE_BINARY_DIR}/packaging/bin)
file(MAKE_DIRECTORY ${launchers})
foreach(program tavlin-studio tavlin)
  file(CREATE_LINK /${app}/${program} ${launchers}/${program} SYMBOLIC)
  install(FILES ${launchers}/${program} DESTINATION usr/bin)
endforeach()
install(FILES packaging/tavlin-studio.desktop DESTINATION usr/share/applications)
install(FILES packaging/tavlin-project.xml DESTINATION usr/share/mime/packages)
install(FILES packaging/tavlin.png DESTINATION usr/share/icons/hicolor/256x256/apps RENAME tavlin-studio.png)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavlin-studio)
set(CPACK_PACKAGE_VENDOR "tavlin-studio")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Authoring tool for draggable video")
set(CPACK_PACKAGE_DESCRIPTION "TAVLIN makes web content in which the viewer moves through a video by dragging along a path drawn over it.")
set(CPACK_PACKAGING_INSTALL_PREFIX /)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
set(CPACK_STRIP_FILES ON)
execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE deb_arch OUTPUT_STRIP_TRAILING_WHITESPACE
                ERROR_QUIET)
if(NOT deb_arch)
  set(deb_arch ${CMAKE_SYSTEM_PROCESSOR})
endif()
set(CPACK_PACKAGE_FILE_NAME ${TAVLIN_RELEASE_NAME}-${deb_arch})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "tavlin-studio developers <tavlin-studio@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Beyond the libraries found in the binaries: the Qt platform plugins, the
# fonts the studio draws with, and xdg-open for the manual entry.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-liberation2, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk")
include(CPack)
