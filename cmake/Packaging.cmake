# The Debian package (cpack -G DEB): the bundle under /opt/veloxa/Veloxa.app, a launcher on
# PATH, a desktop entry and hicolor icons, the tunnel service's unit and its group.
set(VELOXA_INSTALL_BUNDLE "/opt/veloxa/Veloxa.app")
set(bundle "opt/veloxa/Veloxa.app")
set(extension "${bundle}/Contents/Library/SystemExtensions/${VELOXA_EXTENSION_ID}.systemextension")

install(TARGETS veloxa RUNTIME DESTINATION "${bundle}/Contents/MacOS")
install(FILES "${VELOXA_BUNDLE_DIR}/Contents/Info.plist" DESTINATION "${bundle}/Contents")
install(TARGETS veloxa-tunnel veloxa-engine RUNTIME DESTINATION "${extension}")
install(FILES README.md DESTINATION "opt/veloxa")

configure_file(packaging/veloxa.in "${CMAKE_BINARY_DIR}/packaging/veloxa" @ONLY)
install(PROGRAMS "${CMAKE_BINARY_DIR}/packaging/veloxa" DESTINATION "usr/bin")
install(FILES packaging/veloxa.desktop DESTINATION "usr/share/applications")
install(FILES packaging/icons/veloxa.svg DESTINATION "usr/share/icons/hicolor/scalable/apps")
foreach(size 48 64 128 256)
    set(png "${CMAKE_BINARY_DIR}/packaging/icons/${size}/veloxa.png")
    add_custom_command(OUTPUT "${png}"
        COMMAND "${CMAKE_COMMAND}" -E make_directory "${CMAKE_BINARY_DIR}/packaging/icons/${size}"
        COMMAND render-icon "${PROJECT_SOURCE_DIR}/packaging/icons/veloxa.svg" ${size} "${png}"
        DEPENDS render-icon packaging/icons/veloxa.svg
        COMMENT "Rendering the ${size} px application icon")
    list(APPEND VELOXA_ICONS "${png}")
    install(FILES "${png}" DESTINATION "usr/share/icons/hicolor/${size}x${size}/apps")
endforeach()
add_custom_target(veloxa-icons ALL DEPENDS ${VELOXA_ICONS})
install(FILES "${CMAKE_BINARY_DIR}/veloxa-tunnel.service" DESTINATION "lib/systemd/system")
install(FILES packaging/tmpfiles/veloxa.conf DESTINATION "usr/lib/tmpfiles.d")
# Scripting: the manual page, bash completion and the session-bus interface's description.
set(VELOXA_MAN_PAGE "${CMAKE_BINARY_DIR}/packaging/veloxa.1.gz")
add_custom_command(OUTPUT "${VELOXA_MAN_PAGE}"
    COMMAND gzip -9nc "${PROJECT_SOURCE_DIR}/packaging/man/veloxa.1" > "${VELOXA_MAN_PAGE}"
    DEPENDS packaging/man/veloxa.1)
add_custom_target(veloxa-man-page ALL DEPENDS "${VELOXA_MAN_PAGE}")
install(FILES "${VELOXA_MAN_PAGE}" DESTINATION "usr/share/man/man1")
install(FILES packaging/completion/veloxa DESTINATION "usr/share/bash-completion/completions")
install(FILES packaging/dbus/net.veloxa.Client1.xml DESTINATION "usr/share/dbus-1/interfaces")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME veloxa)
set(CPACK_PACKAGE_VENDOR "Veloxa")
set(CPACK_PACKAGE_CONTACT "Veloxa <${VELOXA_SUPPORT_EMAIL}>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Desktop client of the Veloxa VPN service")
set(CPACK_PACKAGE_DESCRIPTION
    "Sign in with an e-mail address and a code, see the account and its devices, pick a\n\
region and connect. The tunnel runs in the veloxa-tunnel service, which keeps running\n\
when the client quits.")
set(CPACK_PACKAGING_INSTALL_PREFIX "/")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What the shared-library scan cannot see: the QML modules, the platform plugins, and the
# tools the built-in WireGuard engine runs (wireguard-go where the kernel has no WireGuard,
# nft for its leak guard).
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qml6-module-qtqml, qml6-module-qtqml-models, qml6-module-qtqml-workerscript, \
qml6-module-qtquick, qml6-module-qtquick-controls, qml6-module-qtquick-templates, \
qml6-module-qtquick-layouts, qml6-module-qtquick-window, qml6-module-qtquick-shapes, \
qt6-qpa-plugins, libqt6svg6, qt6-translations-l10n, adduser, init-system-helpers, \
iproute2, wireguard-tools, wireguard-go, nftables")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gnome-keyring | keepassxc")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    "${PROJECT_SOURCE_DIR}/packaging/debian/postinst"
    "${PROJECT_SOURCE_DIR}/packaging/debian/prerm"
    "${PROJECT_SOURCE_DIR}/packaging/debian/postrm")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
