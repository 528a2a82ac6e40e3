# The Debian package in the product's own layout (scripts/package.sh turns it on):
#   /opt/apps/cn.orvane.stampctl/files/     the library with its SONAME link, sealtool, stampctl,
#                                          and the writable log/ and cut/
#   /opt/apps/cn.orvane.stampctl/entries/   the desktop entry and the icon
#   /opt/apps/cn.orvane.stampctl/info       the manifest
# with the udev rule, documentation and links into /usr beside it. Only the default install
# component goes in: header, pkg-config and CMake files are for building against a source
# install. Programs find the library next to them (RUNPATH $ORIGIN).
set(STAMPCTL_APP_ID cn.orvane.stampctl)
set(app_dir opt/apps/${STAMPCTL_APP_ID})
set(files_dir ${app_dir}/files)
set(CMAKE_INSTALL_PREFIX / CACHE PATH "" FORCE)
set(CMAKE_INSTALL_LIBDIR ${files_dir})
set(CMAKE_INSTALL_BINDIR ${files_dir})
set(CMAKE_INSTALL_MANDIR usr/share/man)
set(package_sources ${PROJECT_SOURCE_DIR}/packaging)
set(package_staging ${PROJECT_BINARY_DIR}/packaging)
set(STAMPCTL_PACKAGE_MAINTAINER "libstampctl maintainers <maintainers@orvane.cn>"
    CACHE STRING "Maintainer field of the Debian package")
execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE STAMPCTL_PACKAGE_ARCH
                OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)

# The changelog's newest entry is the version being built.
file(STRINGS ${package_sources}/changelog newest LIMIT_COUNT 1)
if(NOT newest MATCHES "^${STAMPCTL_APP_ID} \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/changelog does not begin with version ${PROJECT_VERSION}")
endif()

# Compressed as Debian ships them; -n keeps the package reproducible.
function(stampctl_gzip source output)
  add_custom_command(OUTPUT ${output} DEPENDS ${source}
    COMMAND gzip -9nc ${source} > ${output} VERBATIM)
  get_filename_component(name ${output} NAME)
  add_custom_target(gzip_${name} ALL DEPENDS ${output})
endfunction()

# Links from /usr into the product's directory cross top-level directories, so they are absolute.
function(stampctl_link target destination name)
  file(MAKE_DIRECTORY ${package_staging}/links)
  file(CREATE_LINK ${target} ${package_staging}/links/${name} SYMBOLIC)
  install(FILES ${package_staging}/links/${name} DESTINATION ${destination})
endfunction()

# The rest needs every program target, so it runs once the top directory has been read.
function(stampctl_package_rules)
  foreach(program sealtool stampctl_cli)
    if(TARGET ${program})
      set_target_properties(${program} PROPERTIES INSTALL_RPATH "$ORIGIN")
    endif()
  endforeach()
  # The tool installs itself (into files/, its manual page into /usr/share/man); a terminal
  # finds it on the PATH.
  if(TARGET stampctl_cli)
    stampctl_link(/${files_dir}/stampctl usr/bin stampctl)
  endif()

  install(DIRECTORY DESTINATION ${files_dir}/log)
  install(DIRECTORY DESTINATION ${files_dir}/cut)
  install(FILES ${package_sources}/${STAMPCTL_APP_ID}.desktop DESTINATION ${app_dir}/entries/applications)
  install(FILES ${package_sources}/${STAMPCTL_APP_ID}.svg
          DESTINATION ${app_dir}/entries/icons/hicolor/scalable/apps)
  configure_file(${package_sources}/info.in ${package_staging}/info @ONLY)
  file(READ ${package_staging}/info info)
  string(JSON info_id GET "${info}" appid)  # a manifest that is not JSON stops here
  install(FILES ${package_staging}/info DESTINATION ${app_dir})
  # Menus look in /usr/share/applications only.
  stampctl_link(/${app_dir}/entries/applications/${STAMPCTL_APP_ID}.desktop usr/share/applications
                ${STAMPCTL_APP_ID}.desktop)

  install(FILES ${package_sources}/70-stampctl.rules DESTINATION lib/udev/rules.d)
  # The HTTP service: its unit (installed, not enabled), its allow-list of origins as a
  # configuration file the site edits, the page it serves, and its description.
  install(FILES ${package_sources}/stampctl-serve.service DESTINATION lib/systemd/system)
  install(FILES ${package_sources}/serve-origins DESTINATION etc/stampctl)
  if(EXISTS ${PROJECT_SOURCE_DIR}/serve/www)
    install(DIRECTORY ${PROJECT_SOURCE_DIR}/serve/www/ DESTINATION ${files_dir}/www)
  endif()
  install(DIRECTORY DESTINATION ${files_dir}/serve)
  # Tells software centres that this package serves the machine when it is plugged in.
  install(FILES ${package_sources}/${STAMPCTL_APP_ID}.metainfo.xml DESTINATION usr/share/metainfo)
  set(doc_dir usr/share/doc/${STAMPCTL_APP_ID})
  stampctl_gzip(${package_sources}/changelog ${package_staging}/changelog.gz)
  install(FILES ${package_sources}/copyright ${package_staging}/changelog.gz ${PROJECT_SOURCE_DIR}/docs/service.md
          DESTINATION ${doc_dir})
  install(FILES ${package_sources}/lintian-overrides DESTINATION usr/share/lintian/overrides
          RENAME ${STAMPCTL_APP_ID})

  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_NAME ${STAMPCTL_APP_ID})
  set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
  set(CPACK_PACKAGING_INSTALL_PREFIX /)
  set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};${PROJECT_NAME};Unspecified;/")
  set(CPACK_STRIP_FILES ON)
  set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/cpack)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${STAMPCTL_PACKAGE_ARCH})
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${STAMPCTL_PACKAGE_MAINTAINER}")
  set(CPACK_DEBIAN_PACKAGE_SECTION misc)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "control library and tools for USB seal-stamping machines")
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "libstampctl drives a desktop seal-stamping machine attached by USB: doors,
alarms, seals, the document camera, calibration and stamping, behind a flat
C interface. The package holds the library, the service tool sealtool and
the command-line tool stampctl, with a simulated machine to try them on.
Members of the group stampctl open the machine without root.")
  # Library needs come from dpkg-shlibdeps; the library the programs share is in this package.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/stampctl)
  # What dpkg-shlibdeps cannot see: addgroup for the maintainer scripts, and the Qt Multimedia
  # plugin that Qt loads at run time to list the cameras. udev applies the rule when present.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "adduser, libqt5multimedia5-plugins")
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS udev)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${package_sources}/postinst ${package_sources}/postrm
      ${package_sources}/conffiles)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  # Install rules put manual pages in plain; Debian ships them compressed.
  set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/compress_manual_pages.cmake)
  include(CPack)
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL stampctl_package_rules)
