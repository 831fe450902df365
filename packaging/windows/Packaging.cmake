# SPDX-License-Identifier: MIT
# Installation on Windows: one folder with the program, the Qt plug-ins it loads (Qt finds them
# in the program's own folder) and its licence. tools/windows/build.sh adds the DLLs these need
# and makes the installer and the zip from that folder.
install(TARGETS kelmo RUNTIME DESTINATION .)
set(qt_plugins ${QT6_INSTALL_PREFIX}/${QT6_INSTALL_PLUGINS})
install(FILES ${qt_plugins}/platforms/qwindows.dll DESTINATION platforms)
install(FILES ${qt_plugins}/styles/qwindowsvistastyle.dll DESTINATION styles)
# Printing to Windows' printers is part of Qt6PrintSupport.dll itself in Qt 6: no plug-in.
# Qt's own readers of the formats Kelmo reads with Qt (QtImageDecoder.h).
install(FILES ${qt_plugins}/imageformats/qgif.dll ${qt_plugins}/imageformats/qico.dll
        DESTINATION imageformats)
install(FILES LICENSE DESTINATION . RENAME LICENSE.txt)
install(FILES packaging/copyright DESTINATION . RENAME copyright.txt)
# Qt's own Spanish texts for its dialogs ("Abrir", "Cancelar"), from the build machine's Qt
# translations (the same for every platform); qt.conf tells Qt where they are.
set(KELMO_QT_TRANSLATIONS /usr/share/qt6/translations CACHE PATH "Qt's translations (.qm)")
if(EXISTS ${KELMO_QT_TRANSLATIONS}/qtbase_es.qm)
  install(FILES ${KELMO_QT_TRANSLATIONS}/qtbase_es.qm DESTINATION translations)
  file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/qt.conf "[Paths]\nTranslations = translations\n")
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/qt.conf DESTINATION .)
endif()
