# collect.cmake - run by CPack after packing: copies the packages just made
# into the release folder, so both ZIPs and the .deb end up side by side.
file(MAKE_DIRECTORY ${CPACK_RELEASE_DIR})
file(COPY ${CPACK_PACKAGE_FILES} DESTINATION ${CPACK_RELEASE_DIR})
