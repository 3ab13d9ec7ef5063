# Installation of the server and its Debian package (cpack -G DEB in a release build tree):
#   /usr/bin/livrexa-server
#   /usr/share/livrexa/db/         schema, demo data and the read-only user's grants
#   /usr/share/livrexa/scripts/    create-db.sh and grant-readonly.sh (they find ../db beside them)
#   /lib/systemd/system/livrexa-server.service
#   /usr/share/doc/livrexa-server/README.md
# The maintainer scripts in packaging/debian make the system user livrexa and its home
# /var/lib/livrexa.
include(GNUInstallDirs)

install(TARGETS livrexa-server RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/db/schema.sql ${PROJECT_SOURCE_DIR}/db/demo.sql
              ${PROJECT_SOURCE_DIR}/db/grant-readonly.sql
        DESTINATION ${CMAKE_INSTALL_DATADIR}/livrexa/db)
install(PROGRAMS ${PROJECT_SOURCE_DIR}/scripts/create-db.sh ${PROJECT_SOURCE_DIR}/scripts/grant-readonly.sh
        DESTINATION ${CMAKE_INSTALL_DATADIR}/livrexa/scripts)
install(FILES ${PROJECT_SOURCE_DIR}/scripts/firebird-folder.sh DESTINATION ${CMAKE_INSTALL_DATADIR}/livrexa/scripts)
# Where Debian 12's own packages put their units.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/livrexa-server.service DESTINATION /lib/systemd/system)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/livrexa-server)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME livrexa-server)
set(CPACK_PACKAGE_VENDOR Livrexa)
set(CPACK_PACKAGE_CONTACT "Livrexa <suporte@livrexa.com.br>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Livrexa library management: the database application server")
string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
       "The server of Livrexa, the library-management product for school libraries.\n"
       "The Livrexa desktop clients call it over HTTP; it keeps the library's data in a\n"
       "Firebird database, opened by the engine in the server process or on a Firebird\n"
       "server, makes a verified daily backup, and runs as a systemd service\n"
       "(livrexa-server) or with a status window.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # livrexa-server_<version>_<architecture>.deb
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the executable links (the Firebird client, Qt, zlib, ...) come from
# dpkg-shlibdeps; the engine (a plugin the client loads) and gbak/isql-fb are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Debian 12 has Firebird 3.0, Debian 13 Firebird 4.0: either engine and its tools serve.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "adduser, firebird4.0-server-core | firebird3.0-server-core, firebird4.0-utils | firebird3.0-utils")
# The window needs Qt's platform plugins; the service runs without them.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-qpa-plugins, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/packaging/debian/postinst ${PROJECT_SOURCE_DIR}/packaging/debian/prerm
    ${PROJECT_SOURCE_DIR}/packaging/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_WARN_ON_ABSOLUTE_INSTALL_DESTINATION OFF)
include(CPack)
