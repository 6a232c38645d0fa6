# cpack: a Debian package of the Linux build, a zip of the Windows build.
# Build the Debian package from a Release build without sanitizers.

set(CPACK_PACKAGE_NAME flashloader)
set(CPACK_PACKAGE_VENDOR "flashloader developers")
set(CPACK_PACKAGE_CONTACT "flashloader developers <flashloader@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "writes new firmware into the flash memory of a modem on a serial port")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # flashloader_<version>-<release>_<arch>.deb
  set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
  set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # Library dependencies from the executables (dpkg-shlibdeps); the
  # architecture is dpkg's own.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # The long description; cpack puts the summary above it.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "flashloader probes the COM ports with AT commands, identifies the modem,
checks its resident flash loader against the Intel HEX image, then starts
that loader or erases the flash and downloads a loader file, and streams the
image line by line, each line acknowledged by the modem.

The package holds the GTK window flashloader, the terminal program
flashloader-cli and the simulated modem modemsim.")
endif()

include(CPack)
