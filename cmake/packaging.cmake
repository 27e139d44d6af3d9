# What a release ships, and CPack to pack it (scripts/package.sh): the Windows
# build makes a zip to unpack anywhere, the Linux build a Debian package. The
# version is the project's; nothing here repeats it.
set(pkg_src ${PROJECT_SOURCE_DIR}/packaging)
set(pkg_out ${CMAKE_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${pkg_out})

set(CPACK_PACKAGE_NAME korsync)
set(CPACK_PACKAGE_VENDOR "KorSync")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "programs, parameters and firmware of KOR units over a serial line")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_THREADS 0)

if(WIN32)
  # Everything in one folder: the programs are static, the settings live in
  # the registry, so unpacking is the whole installation.
  install(TARGETS KorSync korsync RUNTIME DESTINATION .)
  # The operator reads this in Notepad on a Russian Windows: code page 1251, CR LF.
  configure_file(${pkg_src}/README.ru.txt.in ${pkg_out}/README.utf8.txt @ONLY)
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  add_custom_command(OUTPUT ${pkg_out}/README.txt
    COMMAND ${Python3_EXECUTABLE} ${pkg_src}/windows_text.py ${pkg_out}/README.utf8.txt ${pkg_out}/README.txt
    DEPENDS ${pkg_out}/README.utf8.txt ${pkg_src}/windows_text.py VERBATIM)
  add_custom_target(korsync_readme ALL DEPENDS ${pkg_out}/README.txt)
  install(FILES ${pkg_out}/README.txt DESTINATION .)

  set(CPACK_GENERATOR ZIP)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(CPACK_SYSTEM_NAME win32)
  else()
    set(CPACK_SYSTEM_NAME win64)
  endif()
  set(CPACK_PACKAGE_FILE_NAME korsync-${PROJECT_VERSION}-${CPACK_SYSTEM_NAME})
else()
  include(GNUInstallDirs)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "KorSync developers <korsync@example.com>" CACHE STRING
      "Maintainer field of the Debian package")
  install(TARGETS korsync korsim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  set(doc ${CMAKE_INSTALL_DATADIR}/doc/korsync)

  # The manual pages and the completion come from the programs' own --help, so
  # they cannot tell another story than the programs do.
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  set(from_help ${Python3_EXECUTABLE} ${pkg_src}/from_help.py)
  add_custom_command(OUTPUT ${pkg_out}/korsync.bash
    COMMAND ${from_help} completion ${pkg_out}/korsync.bash $<TARGET_FILE:korsync> $<TARGET_FILE:korsim>
    DEPENDS korsync korsim ${pkg_src}/from_help.py VERBATIM)
  add_custom_target(korsync_completion ALL DEPENDS ${pkg_out}/korsync.bash)
  install(FILES ${pkg_out}/korsync.bash DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
          RENAME korsync)
  # bash-completion looks a program's completion up by the program's name.
  file(CREATE_LINK korsync ${pkg_out}/korsim.bash SYMBOLIC)
  install(FILES ${pkg_out}/korsim.bash DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
          RENAME korsim)

  # help2man comes with the packaging tools (scripts/setup.sh all); a build
  # without it still builds, only the package refuses to be made.
  find_program(KORSYNC_HELP2MAN help2man)
  if(KORSYNC_HELP2MAN)
    set(man_korsync "control a KOR unit: programs, parameters, firmware, clock")
    set(man_korsim "a simulated KOR unit on a pseudo-terminal")
    set(pages "")
    # korsync's commands each have their own help; korsim has none.
    set(commands_korsync COMMAND ${from_help} commands ${pkg_out}/korsync-commands.h2m $<TARGET_FILE:korsync>)
    set(include_korsync --include=${pkg_out}/korsync-commands.h2m)
    foreach(prog korsync korsim)
      add_custom_command(OUTPUT ${pkg_out}/${prog}.1.gz
        ${commands_${prog}}
        COMMAND ${KORSYNC_HELP2MAN} --locale=C.UTF-8 --no-info --section=1 --name=${man_${prog}}
                --include=${pkg_src}/${prog}.h2m ${include_${prog}}
                --output=${pkg_out}/${prog}.1 $<TARGET_FILE:${prog}>
        COMMAND gzip -9nf ${pkg_out}/${prog}.1
        DEPENDS ${prog} ${pkg_src}/${prog}.h2m ${pkg_src}/from_help.py VERBATIM)
      list(APPEND pages ${pkg_out}/${prog}.1.gz)
    endforeach()
    add_custom_target(korsync_man ALL DEPENDS ${pages})
    install(FILES ${pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  else()
    install(CODE "message(FATAL_ERROR \"the package needs help2man (scripts/setup.sh all)\")")
  endif()

  string(TIMESTAMP pkg_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
  configure_file(${pkg_src}/changelog.in ${pkg_out}/changelog.txt @ONLY)
  add_custom_command(OUTPUT ${pkg_out}/changelog.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${pkg_out}/changelog.txt ${pkg_out}/changelog
    COMMAND gzip -9nf ${pkg_out}/changelog
    DEPENDS ${pkg_out}/changelog.txt VERBATIM)
  add_custom_target(korsync_changelog ALL DEPENDS ${pkg_out}/changelog.gz)
  install(FILES ${pkg_src}/copyright ${pkg_out}/changelog.gz DESTINATION ${doc})
  # An example only: which group gets the adapter is the administrator's choice.
  install(FILES ${pkg_src}/60-korsync-ftdi.rules DESTINATION ${doc}/examples)

  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_PACKAGE_DESCRIPTION
"KorSync links a PC with a KOR-family position display and controller over a
serial line, in practice an FTDI USB-serial adapter. korsync reads part
programs and subprograms out of the unit and writes them back, backs up, edits
and restores the parameter memory, flashes firmware from Intel HEX files, sets
the clock, tests the link, and backs up, compares and restores the whole unit.
korsim is a simulated unit on a pseudo-terminal, to try everything without
hardware.")
endif()

set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
include(CPack)
