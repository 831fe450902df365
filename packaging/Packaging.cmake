# SPDX-License-Identifier: MIT
# Installation and the Debian package: the program, its desktop entry, icons, manual pages,
# AppStream metadata, licence and changelog.
include(GNUInstallDirs)

# The picture types the desktop entry and the metadata announce: the readable formats.
set(KELMO_MIME_TYPES
    image/jpeg image/png image/avif image/heif image/heic image/jxl image/webp image/gif
    image/bmp image/x-bmp image/x-ms-bmp image/vnd.microsoft.icon image/x-icon
    image/x-win-bitmap image/x-portable-bitmap image/x-portable-graymap
    image/x-portable-pixmap image/x-xbitmap)
list(JOIN KELMO_MIME_TYPES ";" KELMO_DESKTOP_MIME_TYPES)
list(TRANSFORM KELMO_MIME_TYPES REPLACE "(.+)" "    <mediatype>\\1</mediatype>"
     OUTPUT_VARIABLE mediatypes)
list(JOIN mediatypes "\n" KELMO_METAINFO_MEDIATYPES)

set(generated ${CMAKE_CURRENT_BINARY_DIR}/packaging)
configure_file(packaging/kelmo.desktop.in ${generated}/kelmo.desktop @ONLY)
configure_file(packaging/kelmo.metainfo.xml.in ${generated}/org.kelmo.kelmo.metainfo.xml @ONLY)
configure_file(packaging/kelmo.1.in ${generated}/es/kelmo.1 @ONLY)
configure_file(packaging/man/en/kelmo.1.in ${generated}/en/kelmo.1 @ONLY)
configure_file(packaging/changelog ${generated}/changelog @ONLY)

# Debian wants manual pages and the changelog compressed, reproducibly (no name, no time).
find_program(GZIP gzip REQUIRED)
set(compressed ${generated}/es/kelmo.1.gz ${generated}/en/kelmo.1.gz ${generated}/changelog.gz)
add_custom_command(
  OUTPUT ${compressed}
  COMMAND ${GZIP} -9nkf ${generated}/es/kelmo.1 ${generated}/en/kelmo.1 ${generated}/changelog
  DEPENDS ${generated}/es/kelmo.1 ${generated}/en/kelmo.1 ${generated}/changelog
  COMMENT "Compressing the manual pages and the changelog")
add_custom_target(kelmo_docs ALL DEPENDS ${compressed})

install(TARGETS kelmo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  # A folder below the package's own: CPack would otherwise have the package call ldconfig.
  install(TARGETS ${KELMO_FORMAT_MODULES} LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/kelmo/formats)
  install(DIRECTORY ${KELMO_STAGED_PLUGINS} DESTINATION ${CMAKE_INSTALL_LIBDIR}/kelmo/formats)
endif()
install(FILES ${generated}/kelmo.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${generated}/org.kelmo.kelmo.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES resources/icons/kelmo.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 32 48 64 128 256)
  install(FILES resources/icons/kelmo-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME kelmo.png)
endforeach()
# The program speaks Spanish: its Spanish page is the one `man kelmo` shows; English beside it.
install(FILES ${generated}/es/kelmo.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${generated}/en/kelmo.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/en/man1)
install(FILES packaging/copyright ${generated}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kelmo)

set(CPACK_PACKAGE_NAME kelmo)
set(CPACK_PACKAGE_VENDOR "Kelmo")
set(CPACK_PACKAGE_CONTACT "Kelmo developers <dev@kelmo.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "visor de imágenes con zoom y vista panorámica")
# The synopsis comes from the summary; this is the long description below it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Kelmo muestra una imagen en una ventana ajustada a su tamaño. Arrastrando
sobre ella se selecciona una zona y se amplía; una copia pequeña de la imagen
entera muestra qué parte se ve, y arrastrando su marco se recorre la imagen.
La vista se agranda o se reduce en pasos de 3/2 y 2/3.
.
La selección se copia al portapapeles, se guarda como mapa de bits o se
imprime. Abre imágenes JPEG, PNG, AVIF, HEIC, JPEG XL, WebP, GIF y BMP sea cual
sea su nombre, muestra derechas las fotos tomadas de lado y convierte los
perfiles de color a sRGB.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries come from the program itself (dpkg-shlibdeps, with their minimum versions);
# what it loads at run time without linking it is named here: the platform plug-ins that show
# its window. (WebP is read by libwebp, linked, so Qt's picture-format plug-ins are not needed.)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# qt6-wayland: on a Wayland desktop the window is then Wayland's own, sharp on a scaled screen,
# rather than an X11 window through XWayland.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, qt6-wayland")
# The program is installed stripped; its debugging information goes into kelmo-dbgsym (CPack
# splits it off itself, so the files are not stripped beforehand).
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
include(CPack)
