# Packages made by CPack from the install rules:
#   cpack -G DEB   a Debian package installing under /usr, its dependencies
#                  worked out by dpkg-shlibdeps from the installed programs
#   cpack -G TGZ   the same files in a tarball, to unpack under any prefix
# Both land in <build>/packages.
set(CPACK_PACKAGE_NAME wenlo)
set(CPACK_PACKAGE_VENDOR "The Wenlo developers")
set(CPACK_PACKAGE_CONTACT "The Wenlo developers <wenlo@example.org>")
set(CPACK_PACKAGE_HOMEPAGE_URL https://wenlo.example.org/)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "emulator of the original monochrome Game Boy")
set(CPACK_PACKAGE_DESCRIPTION
    "Plays original monochrome Game Boy cartridges in a Qt window, with a small\ndebugger, a state file per cartridge and a headless runner, wenlo-run, for\nscripted checks and benchmarks. The project's own demo cartridge is included.")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_GENERATOR DEB TGZ)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# shared-mime-info defines the cartridge types the desktop file opens;
# qt6-wayland lets the program run natively on a Wayland desktop.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "shared-mime-info, qt6-wayland")

include(CPack)
