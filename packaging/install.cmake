# Install rules and the checks of the installed documentation. Included by
# the top-level CMakeLists.txt after the targets. The Debian package is built
# from these rules by debian/rules (dpkg-buildpackage).

# Where systemd looks for units shipped by packages: relative to the prefix,
# or absolute (the Debian package uses /lib/systemd/system).
set(LW_SYSTEMD_UNITDIR "lib/systemd/system" CACHE STRING
  "Directory of the systemd unit, relative to the install prefix or absolute")
# The program always reads this file when it starts without arguments, so it
# is installed there whatever the prefix.
set(LW_CONFIG_DIR "/etc/lullwatcher")

install(TARGETS lullwatcher RUNTIME DESTINATION ${CMAKE_INSTALL_SBINDIR})

# Manual pages: English, and Japanese under the ja locale directory.
set(LW_MAN_DIR ${CMAKE_SOURCE_DIR}/packaging/man)
install(FILES ${LW_MAN_DIR}/lullwatcher.8 DESTINATION ${CMAKE_INSTALL_MANDIR}/man8)
install(FILES ${LW_MAN_DIR}/lullwatcher.conf.5 DESTINATION ${CMAKE_INSTALL_MANDIR}/man5)
install(FILES ${LW_MAN_DIR}/ja/lullwatcher.8 DESTINATION ${CMAKE_INSTALL_MANDIR}/ja/man8)
install(FILES ${LW_MAN_DIR}/ja/lullwatcher.conf.5 DESTINATION ${CMAKE_INSTALL_MANDIR}/ja/man5)

# The unit names the binary by its installed path, known only at install
# time (the prefix may be given to cmake --install).
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

# The manual pages must render without a single warning.
if(LW_BUILD_TESTS)
  add_test(NAME manual_pages_render
    COMMAND sh ${CMAKE_SOURCE_DIR}/packaging/check-man ${LW_MAN_DIR})
  set_tests_properties(manual_pages_render PROPERTIES SKIP_RETURN_CODE 77)
  # Every message catalog translates every text of the sources.
  add_test(NAME message_catalogs_complete COMMAND sh ${CMAKE_SOURCE_DIR}/scripts/check-catalog)
  set_tests_properties(message_catalogs_complete PROPERTIES SKIP_RETURN_CODE 77)
endif()
