# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package: `cpack -G DEB` in a configured and built folder makes
# zirko_<version>_<arch>.deb from the install rules of packaging/.

# The postinst grants the raw-socket right to the installed programs.
list(TRANSFORM ZIRKO_RAW_SOCKET_PROGRAMS PREPEND /usr/
     OUTPUT_VARIABLE ZIRKO_RAW_SOCKET_FILES)
list(JOIN ZIRKO_RAW_SOCKET_FILES " " ZIRKO_RAW_SOCKET_FILES)
configure_file(${CMAKE_SOURCE_DIR}/packaging/postinst.in ${CMAKE_BINARY_DIR}/packaging/deb/postinst
               @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
               GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zirko)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Zirko developers")
set(CPACK_PACKAGE_CONTACT "Zirko developers <zirko@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "watch whether a network host answers pings, and how fast")
set(CPACK_PACKAGE_DESCRIPTION
    "Zirko is a desktop tool that watches whether one network host answers ICMP
echo requests, and how fast: five-ping bursts, scheduled automatic monitoring
with running statistics and alarms (the notification-area icon's colour, a
warning with a beep after too many lost pings in a row), an ICMP traceroute,
and a text log file kept across runs.

The window never holds a raw socket. The package grants the raw-socket right
(cap_net_raw) to a small helper alone, which opens its sockets, gives the
right up, and sends the window's echo requests.")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# Everything but the install-time grant, which the postinst does for the package.
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};Zirko;Unspecified;/")

set(CPACK_DEBIAN_PACKAGE_NAME zirko)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Libraries come from the binary; setcap is what the postinst needs.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libcap2-bin")
# Qt's own texts (message-box buttons, file dialogs) in the language the window speaks.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/packaging/deb/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
    GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

include(CPack)
