# collect.cmake - run by CPack after packing: rewrites each package just made
# to depend on nothing but its contents and the release's time stamp
# (packaging/normalize.py), and copies it into the release folder, so both
# ZIPs and the .deb end up side by side.
file(MAKE_DIRECTORY ${CPACK_RELEASE_DIR})
foreach(package ${CPACK_PACKAGE_FILES})
  execute_process(COMMAND ${CPACK_RELEASE_PYTHON} ${CPACK_RELEASE_NORMALIZE}
      ${CPACK_RELEASE_SOURCE_DATE_EPOCH} ${package}
    COMMAND_ERROR_IS_FATAL ANY)
endforeach()
file(COPY ${CPACK_PACKAGE_FILES} DESTINATION ${CPACK_RELEASE_DIR})

# The source archive of the commit the release is built from, stamped with
# its time and carrying that time for a build without git.  Made once, with
# the Linux package; a tree that is not a git checkout makes none.
if(CPACK_GENERATOR STREQUAL "DEB" AND CPACK_RELEASE_SOURCE_ARCHIVE)
  set(name console_dialogues-${CPACK_PACKAGE_VERSION})
  if(EXISTS ${CPACK_RELEASE_SOURCE_DIR}/.git AND CPACK_RELEASE_GIT)
    execute_process(
      COMMAND ${CPACK_RELEASE_GIT} -C ${CPACK_RELEASE_SOURCE_DIR} -c tar.umask=022 archive --format=tar
        --prefix=${name}/
        --add-virtual-file=${name}/packaging/source-date-epoch:${CPACK_RELEASE_SOURCE_DATE_EPOCH}
        HEAD
      COMMAND gzip -9n
      OUTPUT_FILE ${CPACK_RELEASE_DIR}/${name}.tar.gz
      COMMAND_ERROR_IS_FATAL ANY)
  else()
    message(STATUS "no git checkout in ${CPACK_RELEASE_SOURCE_DIR}: no source archive")
  endif()
endif()

# The Linux package is made last, by the release workflow's package step:
# by then every package is here, and SHA256SUMS lists each, sorted by name.
if(CPACK_GENERATOR STREQUAL "DEB" AND CPACK_RELEASE_SOURCE_ARCHIVE)
  file(GLOB packages RELATIVE ${CPACK_RELEASE_DIR}
    ${CPACK_RELEASE_DIR}/console?dialogues?${CPACK_PACKAGE_VERSION}[-_.]*)
  list(SORT packages)
  set(sums "")
  foreach(package ${packages})
    file(SHA256 ${CPACK_RELEASE_DIR}/${package} sum)
    string(APPEND sums "${sum}  ${package}\n")
  endforeach()
  file(WRITE ${CPACK_RELEASE_DIR}/SHA256SUMS "${sums}")
endif()
