# The Debian package: `cpack -G DEB` in a release build folder makes velmrmgr_<version>_<arch>.deb
# with everything `cmake --install` puts under /usr. The libraries it needs come from
# dpkg-shlibdeps; what the program loads by name (fonts, the help book's database driver) is
# listed here.
set(CPACK_PACKAGE_NAME velmrmgr)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Seal impression editor (瑠環印影マネージャー)")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Makes name seals, date seals and seals from pictures, keeps them as files, hands them to the "
    "Velmor seal program and exports them at their true size as PNG, SVG or PDF. velmrseal renders "
    "seal files from the command line and draws their thumbnails for file managers.")
set(CPACK_PACKAGE_CONTACT "velmrmgr developers <velmrmgr@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# TIFF and WebP pictures open through Qt's image format plugins.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6sql6-sqlite, qt6-image-formats-plugins, fonts-ipafont-mincho, fonts-ipafont-gothic")
# shared-mime-info and desktop-file-utils pick up the new types and the desktop entry through
# their own triggers.
# The seal-worthy faces with a real bold and a brush face are offered by the font chooser.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "shared-mime-info, desktop-file-utils, qt6-translations-l10n, fonts-noto-cjk, fonts-noto-cjk-extra, fonts-kouzan-mouhitsu")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "wine")

include(CPack)
