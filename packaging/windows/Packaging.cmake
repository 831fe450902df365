# SPDX-License-Identifier: MIT
# Installation on Windows: one folder with the program, the Qt plug-ins it loads (Qt finds them
# in the program's own folder) and its licence. tools/windows/build.sh adds the DLLs these need
# and makes the installer and the zip from that folder.
install(TARGETS kelmo RUNTIME DESTINATION .)
set(qt_plugins ${QT6_INSTALL_PREFIX}/${QT6_INSTALL_PLUGINS})
install(FILES ${qt_plugins}/platforms/qwindows.dll DESTINATION platforms)
install(FILES ${qt_plugins}/styles/qwindowsvistastyle.dll DESTINATION styles)
install(FILES ${qt_plugins}/printsupport/windowsprintersupport.dll DESTINATION printsupport)
# Qt's own readers of the formats Kelmo reads with Qt (QtImageDecoder.h).
install(FILES ${qt_plugins}/imageformats/qgif.dll ${qt_plugins}/imageformats/qico.dll
        DESTINATION imageformats)
install(FILES LICENSE DESTINATION . RENAME LICENSE.txt)
install(FILES packaging/copyright DESTINATION . RENAME copyright.txt)
