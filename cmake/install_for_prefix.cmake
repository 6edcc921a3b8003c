# Install paths that depend on the prefix, known only when the install runs
# (`cmake --install --prefix ...`, or CPack with its packaging prefix /usr),
# so one build tree serves both. Included once, at the top, before any
# install rule; its install code runs first, for every component, and sets:
#   VELIX_PREFIX      the install prefix
#   VELIX_SYSCONFDIR  /etc for the prefix /usr, PREFIX/etc for any other (an
#                     install into a prefix of one's own writes nothing outside it)
#   VELIX_LIBDIR      the library folder under the prefix: Debian's multiarch
#                     folder under /usr, lib elsewhere (as GNUInstallDirs does)
# Install rules name the library folder as ${VELIX_INSTALL_LIBDIR}.
include_guard(GLOBAL)
set(velix_multiarch_libdir lib)
if(CMAKE_LIBRARY_ARCHITECTURE AND EXISTS /etc/debian_version)
  set(velix_multiarch_libdir lib/${CMAKE_LIBRARY_ARCHITECTURE})
endif()
install(CODE "
  set(VELIX_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
  if(VELIX_PREFIX MATCHES \"^/usr/?$\")
    set(VELIX_SYSCONFDIR /etc)
    set(VELIX_LIBDIR ${velix_multiarch_libdir})
  else()
    set(VELIX_SYSCONFDIR \"\${VELIX_PREFIX}/etc\")
    set(VELIX_LIBDIR lib)
  endif()" ALL_COMPONENTS)
set(VELIX_INSTALL_LIBDIR "\${VELIX_LIBDIR}")
# The library folder of the Debian packages (prefix /usr).
set(VELIX_PACKAGE_LIBDIR ${velix_multiarch_libdir})

# velix_install_for_prefix(TEMPLATE DESTINATION COMPONENT name [SYSCONF] [PROGRAM] [RENAME name])
#
# Installs a file that names install paths (a host manifest, a pkg-config
# file, a script), made from TEMPLATE when it is installed: @VELIX_PREFIX@,
# @VELIX_SYSCONFDIR@ and @VELIX_LIBDIR@ in it are replaced. DESTINATION is
# relative to the prefix, or with SYSCONF to the system configuration folder.
function(velix_install_for_prefix template destination)
  cmake_parse_arguments(ARG "SYSCONF;PROGRAM" "COMPONENT;RENAME" "" ${ARGN})
  get_filename_component(name ${template} NAME)
  string(REGEX REPLACE "\\.in$" "" name ${name})
  if(ARG_RENAME)
    set(name ${ARG_RENAME})
  endif()
  string(MD5 folder "${template}:${destination}")
  set(made ${CMAKE_BINARY_DIR}/install-for-prefix/${folder}/${name})
  if(ARG_SYSCONF)
    set(root "\${VELIX_SYSCONFDIR}")
  else()
    set(root "\${CMAKE_INSTALL_PREFIX}")
  endif()
  if(ARG_PROGRAM)
    set(mode "OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE")
  else()
    set(mode "OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ")
  endif()
  install(CODE "
    configure_file(\"${template}\" \"${made}\" @ONLY)
    file(INSTALL \"${made}\" DESTINATION \"${root}/${destination}\" FILE_PERMISSIONS ${mode})"
    COMPONENT ${ARG_COMPONENT})
endfunction()
