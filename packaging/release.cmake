# release.cmake - what `cmake --install` puts where, and the packages CPack
# makes of it: a ZIP of the .exe files from a Windows build, a Debian package
# from a Linux build.  With RELEASE_WINDOWS_ZIPS on, a Linux build also
# cross-builds both Windows ZIPs, and every package lands in RELEASE_DIR.
include(GNUInstallDirs)

set(RELEASE_DIR ${CMAKE_BINARY_DIR}/packages CACHE PATH
    "Where the release packages are put")
option(RELEASE_WINDOWS_ZIPS "Also cross-build the 32- and 64-bit Windows ZIPs" OFF)

# Files read here, rather than configured, still make a change reconfigure.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE ${CMAKE_CURRENT_SOURCE_DIR}/packaging/README.txt.in
  ${CMAKE_CURRENT_SOURCE_DIR}/CHANGELOG.md)

# The release's time stamp, on every file of every package: SOURCE_DATE_EPOCH
# when set, else the last commit's time, else (a source archive has no git)
# the time the archive carries in packaging/source-date-epoch.
find_package(Git QUIET)
if(DEFINED RELEASE_SOURCE_DATE_EPOCH)
  # A cross-build takes its release's.
  set(source_date_epoch ${RELEASE_SOURCE_DATE_EPOCH})
elseif(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(source_date_epoch $ENV{SOURCE_DATE_EPOCH})
else()
  set(git_failed 1)
  if(GIT_FOUND AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/.git)
    execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct
      WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}
      OUTPUT_VARIABLE source_date_epoch OUTPUT_STRIP_TRAILING_WHITESPACE
      RESULT_VARIABLE git_failed ERROR_QUIET)
  endif()
  if((git_failed OR NOT source_date_epoch) AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/packaging/source-date-epoch)
    file(STRINGS ${CMAKE_CURRENT_SOURCE_DIR}/packaging/source-date-epoch
      source_date_epoch LIMIT_COUNT 1)
  endif()
endif()
if(NOT source_date_epoch MATCHES "^[0-9]+$")
  # A copy with neither git nor the archive's file still builds, stamped
  # with the day of release 1.0.0 (a ZIP holds no date before 1980).
  message(WARNING "no git and no packaging/source-date-epoch: the packages get the time stamp 1796601600")
  set(source_date_epoch 1796601600)
endif()
set(CPACK_RELEASE_SOURCE_DATE_EPOCH ${source_date_epoch})
set(CPACK_RELEASE_PYTHON ${Python3_EXECUTABLE})
set(CPACK_RELEASE_NORMALIZE ${CMAKE_CURRENT_SOURCE_DIR}/packaging/normalize.py)
set(CPACK_RELEASE_SOURCE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
set(CPACK_RELEASE_SOURCE_ARCHIVE ${RELEASE_WINDOWS_ZIPS})
set(CPACK_RELEASE_GIT ${GIT_EXECUTABLE})
# CPack's strip rewrites a PE header with the time it runs unless
# SOURCE_DATE_EPOCH is set: packaging/cpack.cmake sets it for CPack's tools.
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_SOURCE_DIR}/packaging/cpack.cmake)

if(EMSCRIPTEN)
  # The page's two release files: a ZIP of its folder (web/), which any static
  # web server serves, and the single file, which opens from disk.  Both carry
  # xterm.js and uPlot, whose licences ask that their notice go with every copy.
  if(TARGET page AND TARGET single_page)
    set(web_name console_dialogues-${PROJECT_VERSION}-web)
    set(web_folder ${CMAKE_BINARY_DIR}/release/${web_name})
    file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/release)
    set(xterm_licence ${npm_dir}/node_modules/@xterm/xterm/LICENSE)
    set(uplot_licence ${npm_dir}/node_modules/uplot/LICENSE)
    add_custom_target(web_release
      COMMAND ${CMAKE_COMMAND} -E rm -rf ${web_folder} ${web_name}.zip
      COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_BINARY_DIR}/page ${web_folder}
      COMMAND ${CMAKE_COMMAND} -E rm -f ${web_folder}/page.stamp
      COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE ${web_folder}/LICENSE
      COMMAND ${CMAKE_COMMAND} -E copy ${xterm_licence} ${web_folder}/LICENSE.xterm.js
      COMMAND ${CMAKE_COMMAND} -E copy ${uplot_licence} ${web_folder}/LICENSE.uPlot
      COMMAND ${CMAKE_COMMAND} -E tar cf ${web_name}.zip --format=zip ${web_name}
      COMMAND ${Python3_EXECUTABLE} ${CPACK_RELEASE_NORMALIZE} ${source_date_epoch} ${web_name}.zip
      COMMAND ${CMAKE_COMMAND} -E make_directory ${RELEASE_DIR}
      COMMAND ${CMAKE_COMMAND} -E copy ${web_name}.zip
        ${CMAKE_BINARY_DIR}/console_dialogues-${PROJECT_VERSION}.html ${RELEASE_DIR}
      WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/release
      DEPENDS page single_page
      COMMENT "Putting the page's release files into ${RELEASE_DIR}")
  endif()
  return()
endif()

# No one reads mail for the project: .invalid (RFC 2606) says so, and can
# never reach a stranger's mailbox.
set(release_maintainer "console_dialogues <maintainer@console-dialogues.invalid>")

set(programs value_table triangle_test reciprocal_sum tab_pattern)
set(package_dir ${CMAKE_CURRENT_BINARY_DIR}/packaging)

if(WIN32)
  # A Windows user unpacks one folder and finds the programs at its top,
  # beside the licence and a README that Notepad opens: UTF-8 with a byte
  # order mark (which every Notepad recognises) and CR LF line ends.
  install(TARGETS ${programs} RUNTIME DESTINATION .)
  # A PE header holds the time of the link unless told not to.
  foreach(program ${programs})
    target_link_options(${program} PRIVATE LINKER:--no-insert-timestamp)
  endforeach()
  install(FILES LICENSE DESTINATION .)
  file(READ packaging/README.txt.in readme)
  string(ASCII 239 187 191 byte_order_mark)
  file(CONFIGURE OUTPUT ${package_dir}/README.txt CONTENT "${byte_order_mark}${readme}"
    @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${package_dir}/README.txt DESTINATION .)
  set(CPACK_GENERATOR ZIP)
else()
  install(TARGETS ${programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # strip keeps .comment, the versions of the compilers that made each
  # object (the C library's start files too): it tells a user nothing, and
  # Debian's own packages drop it.
  install(CODE "
    foreach(program ${programs})
      execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/\${program}\"
        COMMAND_ERROR_IS_FATAL ANY)
    endforeach()")

  # One page for all four programs; the other three names link to it.
  # Debian wants pages and changelogs compressed with gzip -9n, which
  # leaves no time stamp in them; man reads them that way everywhere.
  find_program(GZIP gzip REQUIRED)
  configure_file(man/value_table.1.in ${package_dir}/value_table.1 @ONLY)
  execute_process(COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/packaging/debian_changelog.py
      ${CMAKE_CURRENT_SOURCE_DIR}/CHANGELOG.md "${release_maintainer}"
    OUTPUT_FILE ${package_dir}/changelog COMMAND_ERROR_IS_FATAL ANY)
  set(page_links)
  foreach(program triangle_test reciprocal_sum tab_pattern)
    list(APPEND page_links ${package_dir}/${program}.1.gz)
  endforeach()
  add_custom_command(
    OUTPUT ${package_dir}/value_table.1.gz ${package_dir}/changelog.gz ${page_links}
    COMMAND ${GZIP} -9nkf value_table.1 changelog
    COMMAND ${CMAKE_COMMAND} -E create_symlink value_table.1.gz triangle_test.1.gz
    COMMAND ${CMAKE_COMMAND} -E create_symlink value_table.1.gz reciprocal_sum.1.gz
    COMMAND ${CMAKE_COMMAND} -E create_symlink value_table.1.gz tab_pattern.1.gz
    DEPENDS ${package_dir}/value_table.1 ${package_dir}/changelog
    WORKING_DIRECTORY ${package_dir})
  add_custom_target(manual ALL
    DEPENDS ${package_dir}/value_table.1.gz ${package_dir}/changelog.gz)
  install(FILES ${package_dir}/value_table.1.gz ${page_links}
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

  # Debian's copyright file: the licence in the machine-readable format,
  # its blank lines written as " ." and every line indented by one space.
  file(READ LICENSE licence)
  string(REGEX REPLACE "\n$" "" licence "${licence}")
  string(REGEX REPLACE "\n\n" "\n.\n" licence "${licence}")
  string(REGEX REPLACE "\n" "\n " licence "${licence}")
  file(CONFIGURE OUTPUT ${package_dir}/copyright CONTENT [[
Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: console_dialogues

Files: *
Copyright: 2026 The console_dialogues developers
License: Expat
 @licence@
]] @ONLY)
  set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/console-dialogues)
  install(FILES ${package_dir}/copyright ${package_dir}/changelog.gz DESTINATION ${doc_dir})
  set(CPACK_GENERATOR DEB)
endif()

set(CPACK_PACKAGE_NAME console_dialogues)
set(CPACK_PACKAGE_VENDOR "The console_dialogues developers")
set(CPACK_PACKAGE_CONTACT "${release_maintainer}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small interactive console programs in Hungarian")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_THREADS 1)

set(CPACK_DEBIAN_PACKAGE_NAME console-dialogues)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The dependencies are those dpkg-shlibdeps reads from the built programs.
# A cross-build's programs are static (toolchains/aarch64-linux-gnu.cmake):
# they depend on nothing, and Debian's cross libraries are not arm64
# packages that dpkg-shlibdeps could name.
if(CMAKE_CROSSCOMPILING)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "aarch64")
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
  endif()
else()
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION [[
Four programs with a Hungarian dialogue, written for the Windows console
and its code page 1250: value_table tabulates y = 2x^2 + 3x + 8,
triangle_test tells whether three sides make a triangle, reciprocal_sum
prints the sum of the reciprocals of 1 to 100 and tab_pattern prints a
figure of tabs. Their texts are Windows-1250 bytes; luit shows them on a
UTF-8 terminal. Each program ends by waiting for a character and Enter.]])

# Every package, from this build or a cross-build, is copied to RELEASE_DIR.
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_SOURCE_DIR}/packaging/collect.cmake)
set(CPACK_RELEASE_DIR ${RELEASE_DIR})
include(CPack)

if(RELEASE_WINDOWS_ZIPS)
  # release_build(NAME TOOLCHAIN FLAGS [ARGS...] [INSTALL COMMAND...]): one of
  # the release's cross-builds, in a folder NAME of its own, configured with the
  # toolchain file TOOLCHAIN and the compiler flags FLAGS besides those that keep
  # the build path out of a program, and its packages made by the INSTALL
  # command (by default, CPack), as soon as it is built, into RELEASE_DIR.
  include(ExternalProject)
  function(release_build name toolchain flags)
    cmake_parse_arguments(PARSE_ARGV 3 build "" "" "INSTALL")
    if(NOT build_INSTALL)
      set(build_INSTALL ${CMAKE_CPACK_COMMAND} --config CPackConfig.cmake)
    endif()
    string(STRIP "-ffile-prefix-map=${PROJECT_SOURCE_DIR}=. ${flags}" flags)
    ExternalProject_Add(${name}
      SOURCE_DIR ${PROJECT_SOURCE_DIR}
      BINARY_DIR ${CMAKE_BINARY_DIR}/${name}
      CMAKE_ARGS
        --toolchain ${PROJECT_SOURCE_DIR}/toolchains/${toolchain}
        -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DRELEASE_SHIPPED_ONLY=ON
        -DRELEASE_DIR=${RELEASE_DIR}
        -DRELEASE_SOURCE_DATE_EPOCH=${source_date_epoch}
        "-DCMAKE_CXX_FLAGS=${flags}" ${build_UNPARSED_ARGUMENTS}
      # The machine is shared: the console pool builds one at a time.
      BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --parallel 2
      BUILD_ALWAYS ON
      INSTALL_COMMAND ${build_INSTALL}
      USES_TERMINAL_BUILD ON)
    set_property(GLOBAL APPEND PROPERTY RELEASE_BUILDS ${name})
  endfunction()

  # Each ZIP comes from a cross-build of its own; its tests run from this
  # build (tests/release/).
  foreach(triplet i686-w64-mingw32 x86_64-w64-mingw32)
    string(REGEX REPLACE "-.*" "" arch ${triplet})
    release_build(windows-${arch} mingw-w64.cmake "" -DMINGW_TRIPLET=${triplet})
  endforeach()

  # The arm64 package.  Its programs are static, so of the hardening only
  # what the compiler does applies.
  find_program(AARCH64_CXX aarch64-linux-gnu-g++)
  if(AARCH64_CXX)
    release_build(linux-arm64 aarch64-linux-gnu.cmake
      "-D_FORTIFY_SOURCE=2 -fstack-protector-strong -fstack-clash-protection -mbranch-protection=standard")
  endif()

  # The page's files, built with Emscripten; npm installs xterm.js, uPlot and the
  # browser test's driver that tests/release/ runs them with.
  find_program(EMXX em++)
  find_program(NPM npm)
  if(EMXX AND NPM)
    release_build(web emscripten.cmake ""
      INSTALL ${CMAKE_COMMAND} --build <BINARY_DIR> --target web_release)
  endif()
endif()

if(RELEASE_WINDOWS_ZIPS AND BUILD_TESTING)
  add_subdirectory(tests/release)
endif()
