# `make package`: a Debian package of the Linux program, built with CPack.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME bemvara)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Bemvara)
set(CPACK_PACKAGE_CONTACT "Bemvara maintainers <maintainers@example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "bending-moment parameter calculator for bridge engineers")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Bemvara computes the bending-moment parameter r = 5.8 * I * b^2 / (IT * l)
used for the load distribution coefficients of bridge beams and slabs, from
four typed values, in one window whose interface is Simplified Chinese.")
# The libraries come from the binary; the fonts and Qt's Chinese strings are
# what the interface needs to show every character, in Chinese.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-arphic-uming, fonts-arphic-ukai, fonts-wqy-microhei, qt6-translations-l10n")
# Without it a Wayland session runs the window through XWayland.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
