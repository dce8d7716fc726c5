# cpack.cmake - read by CPack before it packs: the tools it runs (strip,
# objcopy, dpkg-deb) stamp what they write with the release's time.
set(ENV{SOURCE_DATE_EPOCH} ${CPACK_RELEASE_SOURCE_DATE_EPOCH})
