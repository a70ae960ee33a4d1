# Packages made by CPack from the install tree: a .deb of the Linux build and
# a zip of the Windows build (scripts/package makes both).
set(KELMORA_MAINTAINER "kelmora maintainers <maintainers@users.noreply.c-seed-d6c3e726.example>")
set(KELMORA_DEB_RELEASE 1)  # the packaging's own revision of PROJECT_VERSION

set(CPACK_PACKAGE_NAME kelmora)
set(CPACK_PACKAGE_VENDOR "the kelmora authors")
set(CPACK_PACKAGE_CONTACT "${KELMORA_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "fills live values into a text file in place")
set(CPACK_PACKAGE_DESCRIPTION
    "kelmora rewrites a text file with every line passed through a table of values:
the time since a birth moment in a chosen unit and radix, the song a media
player is playing, word-for-word substitutions from a names file, and the
formatting functions @PAD, @NUM and @SIZE. It is configured by one settings
file, kelmora.ctl.")
set(CPACK_STRIP_FILES ON)
# Packaging installs what scripts/package has built (the program and its
# pages), without building the tests of the tree first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

# kelmora_dep5_copyright(TEMPLATE OUTPUT): the .deb's copyright file, in the
# machine-readable format, from TEMPLATE with the notice of the third-party
# code taken from LICENSES.txt: @XXHASH_COPYRIGHT@ becomes its copyright
# holder and years, @XXHASH_LICENSE@ its licence text as the body of a
# field (each line indented, an empty one as " .").
function(kelmora_dep5_copyright template output)
  set(licenses ${PROJECT_SOURCE_DIR}/LICENSES.txt)
  file(READ ${licenses} text)
  string(REGEX MATCH "Copyright \\(C\\) ([^\n]*)" found "${text}")
  set(XXHASH_COPYRIGHT ${CMAKE_MATCH_1})
  string(FIND "${text}" "Redistribution and use" start)
  if(NOT XXHASH_COPYRIGHT OR start EQUAL -1)
    message(FATAL_ERROR "LICENSES.txt: no copyright line or licence text of xxHash")
  endif()
  string(SUBSTRING "${text}" ${start} -1 body)
  string(STRIP "${body}" body)
  string(REGEX REPLACE "\n\n" "\n.\n" body "${body}")
  string(REGEX REPLACE "\n" "\n " body "${body}")
  set(XXHASH_LICENSE " ${body}")
  configure_file(${template} ${output} @ONLY)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${licenses})
endfunction()

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME kelmora-${PROJECT_VERSION}-win64)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_RELEASE ${KELMORA_DEB_RELEASE})
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  if(KELMORA_MPRIS)
    # Loaded at run time for the song over D-Bus, so the tools do not see it.
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS libsystemd0)
  endif()

  # What Debian asks of every package and the plain install tree does not
  # hold: the copyright notice and the packaging changelog, in the doc folder,
  # and the system-wide settings, the commented example, as a conffile.
  set(debian_dir ${CMAKE_BINARY_DIR}/debian)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/changelog.in
                 ${debian_dir}/changelog @ONLY)
  kelmora_gzip(${debian_dir}/changelog ${debian_dir}/changelog.Debian.gz)
  add_custom_target(kelmora_debian ALL DEPENDS ${debian_dir}/changelog.Debian.gz)
  kelmora_dep5_copyright(${PROJECT_SOURCE_DIR}/packaging/debian/copyright.in
                         ${debian_dir}/copyright)
  install(FILES ${debian_dir}/copyright ${debian_dir}/changelog.Debian.gz
          DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT debian EXCLUDE_FROM_ALL)
  set(system_settings /etc/xdg/kelmora/kelmora.ctl)
  install(FILES ${PROJECT_SOURCE_DIR}/examples/kelmora.ctl DESTINATION /etc/xdg/kelmora
          COMPONENT debian EXCLUDE_FROM_ALL)
  file(WRITE ${debian_dir}/conffiles "${system_settings}\n")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${debian_dir}/conffiles)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  set(CPACK_INSTALL_CMAKE_PROJECTS
      ${CMAKE_BINARY_DIR} kelmora Unspecified /
      ${CMAKE_BINARY_DIR} kelmora debian /)
endif()

# Everything the packages hold that the build makes; scripts/package builds
# only this, not the tests.
add_custom_target(package_contents)
add_dependencies(package_contents kelmora)
if(NOT WIN32)
  add_dependencies(package_contents kelmora_man kelmora_debian)
endif()

include(CPack)
