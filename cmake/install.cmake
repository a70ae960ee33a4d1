# What `cmake --install` puts where. Linux: the program, its manual page and
# its documentation in the GNU directories. Windows: one flat folder, the
# program beside a ready-to-run example with Windows line ends.
include(GNUInstallDirs)

if(WIN32)
  install(TARGETS kelmora RUNTIME DESTINATION .)

  # The example, the notes and the notices of third-party code with CR LF
  # line ends: Windows editors expect them, and the names file of the
  # Windows build ends its lines at CR.
  set(crlf_dir ${CMAKE_BINARY_DIR}/crlf)
  foreach(source examples/kelmora.ctl examples/names.lst examples/template.txt
                 packaging/windows/README.txt LICENSES.txt)
    file(READ ${PROJECT_SOURCE_DIR}/${source} content)
    string(REPLACE "\r\n" "\n" content "${content}")
    string(REPLACE "\n" "\r\n" content "${content}")
    get_filename_component(name ${source} NAME)
    file(WRITE ${crlf_dir}/${name} "${content}")
    install(FILES ${crlf_dir}/${name} DESTINATION .)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
                 ${PROJECT_SOURCE_DIR}/${source})
  endforeach()
  return()
endif()

install(TARGETS kelmora RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY examples/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

# kelmora_gzip(INPUT OUTPUT): a rule making OUTPUT, INPUT compressed as
# Debian wants installed pages and changelogs: -9, and -n for no time stamp,
# so every build gives the same bytes.
find_program(KELMORA_GZIP gzip REQUIRED)
function(kelmora_gzip input output)
  add_custom_command(
    OUTPUT ${output}
    COMMAND sh -c "\"$0\" -n -9 -c \"$1\" > \"$2\"" ${KELMORA_GZIP} ${input} ${output}
    DEPENDS ${input}
    VERBATIM)
endfunction()

# The manual page, kelmora(1): scdoc source turned into roff.
find_program(KELMORA_SCDOC scdoc REQUIRED)
set(man_source ${PROJECT_SOURCE_DIR}/doc/kelmora.1.scd)
set(man_page ${CMAKE_BINARY_DIR}/man/kelmora.1)
add_custom_command(
  OUTPUT ${man_page}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
  COMMAND sh -c "\"$0\" < \"$1\" > \"$2\"" ${KELMORA_SCDOC} ${man_source} ${man_page}
  DEPENDS ${man_source}
  COMMENT "Manual page kelmora(1)"
  VERBATIM)
kelmora_gzip(${man_page} ${man_page}.gz)
add_custom_target(kelmora_man ALL DEPENDS ${man_page}.gz)
install(FILES ${man_page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
