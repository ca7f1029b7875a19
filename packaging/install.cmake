# Install rules, the Debian package (cpack -G DEB) and the checks of the
# installed documentation. Included by the top-level CMakeLists.txt after the
# targets.

# Where systemd looks for units shipped by packages, relative to the prefix.
set(LW_SYSTEMD_UNITDIR "lib/systemd/system" CACHE STRING
  "Directory of the systemd unit, relative to the install prefix")
# The program always reads this file when it starts without arguments, so it
# is installed there whatever the prefix.
set(LW_CONFIG_DIR "/etc/lullwatcher")

# The daemon stays resident for good. Linked dynamically, the pages it
# touches in libstdc++, libm and libgcc_s add about 1.2 MiB to its resident
# size (VmHWM 3.0 MiB); linked statically, only the few routines it uses
# stay (VmHWM 1.8 MiB). Sanitizer and fuzz builds need the shared runtime.
option(LW_STATIC_CXX_RUNTIME "Link libstdc++ and libgcc into the program statically" ON)
if(LW_STATIC_CXX_RUNTIME AND NOT LW_SANITIZE AND NOT LW_BUILD_FUZZ)
  target_link_options(lullwatcher PRIVATE -static-libstdc++ -static-libgcc)
endif()

install(TARGETS lullwatcher RUNTIME DESTINATION ${CMAKE_INSTALL_SBINDIR})

# Manual pages: English, and Japanese under the ja locale directory.
set(LW_MAN_DIR ${CMAKE_SOURCE_DIR}/packaging/man)
install(FILES ${LW_MAN_DIR}/lullwatcher.8 DESTINATION ${CMAKE_INSTALL_MANDIR}/man8)
install(FILES ${LW_MAN_DIR}/lullwatcher.conf.5 DESTINATION ${CMAKE_INSTALL_MANDIR}/man5)
install(FILES ${LW_MAN_DIR}/ja/lullwatcher.8 DESTINATION ${CMAKE_INSTALL_MANDIR}/ja/man8)
install(FILES ${LW_MAN_DIR}/ja/lullwatcher.conf.5 DESTINATION ${CMAKE_INSTALL_MANDIR}/ja/man5)

# The unit names the binary by its installed path, known only at install
# time (cpack installs with its own prefix).
set(LW_UNIT_SOURCE ${CMAKE_SOURCE_DIR}/packaging/lullwatcher.service)
install(CODE "
  set(lw_sbin \"${CMAKE_INSTALL_SBINDIR}\")
  if(NOT IS_ABSOLUTE \"\${lw_sbin}\")
    set(lw_sbin \"\${CMAKE_INSTALL_PREFIX}/\${lw_sbin}\")
  endif()
  file(READ \"${LW_UNIT_SOURCE}\" lw_unit)
  string(REPLACE \"/usr/sbin/lullwatcher\" \"\${lw_sbin}/lullwatcher\" lw_unit \"\${lw_unit}\")
  file(WRITE \"${CMAKE_BINARY_DIR}/lullwatcher.service\" \"\${lw_unit}\")
")
install(FILES ${CMAKE_BINARY_DIR}/lullwatcher.service DESTINATION ${LW_SYSTEMD_UNITDIR})

# The sample configuration. An edited file already in place is kept: the new
# sample goes beside it as lullwatcher.conf.new.
install(CODE "
  set(lw_conf \"\$ENV{DESTDIR}${LW_CONFIG_DIR}/lullwatcher.conf\")
  set(lw_sample \"${CMAKE_SOURCE_DIR}/packaging/lullwatcher.conf\")
  set(lw_name lullwatcher.conf)
  if(EXISTS \"\${lw_conf}\")
    file(READ \"\${lw_conf}\" lw_old)
    file(READ \"\${lw_sample}\" lw_new)
    if(NOT lw_old STREQUAL lw_new)
      set(lw_name lullwatcher.conf.new)
      message(STATUS \"Keeping \${lw_conf}; the new sample is \${lw_name}\")
    endif()
  endif()
  list(APPEND CMAKE_ABSOLUTE_DESTINATION_FILES \"${LW_CONFIG_DIR}/\${lw_name}\")
  file(INSTALL DESTINATION \"${LW_CONFIG_DIR}\" TYPE FILE
       PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
       RENAME \"\${lw_name}\" FILES \"\${lw_sample}\")
")

# The Debian package. Installs under /usr and the configuration under /etc.
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "lullwatcher")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_CONTACT "lullwatcher maintainers <maintainers@lullwatcher.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "power off or run a command once the machine has stayed idle")
# CPack puts the summary first and indents these lines itself.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"lullwatcher watches input devices (keyboards, mice, remote controls),
network traffic per interface and disk I/O per disk. When none of them has
been active over its threshold for a set time, it runs a command, by
default a power-off. It suits home servers, NAS boxes and media PCs.

The package installs a systemd unit, lullwatcher.service, which is neither
enabled nor started: review /etc/lullwatcher/lullwatcher.conf first.")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
# Absolute destinations (/etc) need the staging directory as DESTDIR.
set(CPACK_SET_DESTDIR ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION "admin")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "net-tools, sysstat")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The configuration is a conffile; there are no maintainer scripts, so the
# service is neither enabled nor started by installing the package.
file(WRITE ${CMAKE_BINARY_DIR}/debian-control/conffiles "${LW_CONFIG_DIR}/lullwatcher.conf\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/debian-control/conffiles)
include(CPack)

# The manual pages must render without a single warning.
if(LW_BUILD_TESTS)
  add_test(NAME manual_pages_render
    COMMAND sh ${CMAKE_SOURCE_DIR}/packaging/check-man ${LW_MAN_DIR})
  set_tests_properties(manual_pages_render PROPERTIES SKIP_RETURN_CODE 77)
endif()
