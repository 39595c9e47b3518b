# The Debian package, built by `cpack -G DEB` in a configured and built tree. CPack packs what
# the install rules name (the two programs, the data folder, the desktop files, the manual pages
# and the completion script) and asks dpkg-shlibdeps for the libraries the installed programs
# load, so the run-time dependencies follow from the binaries: the test and benchmark libraries
# never reach them, since nothing installed links them. Only what no binary links is named here:
# the Liberation fonts the deck and dialog layouts are measured for.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME veltro)
set(CPACK_PACKAGE_VENDOR "The Veltro developers")
set(CPACK_PACKAGE_CONTACT "The Veltro developers <veltro@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "DJ mixing program with two decks, a song library and an automatic mix")
set(CPACK_PACKAGE_DESCRIPTION
    "Veltro plays songs from a scanned library on two decks, each with its own pitch and tempo, \
and crossfades between them by hand or automatically along a playlist, with a pre-listen output \
for headphones, a tag editor and a serial hardware controller. veltro-cli scans, decodes, \
inspects and tags songs from the command line.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
