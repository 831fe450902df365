; Kelmo's Windows installer (64-bit). tools/windows/build.sh defines VERSION, STAGE (the
; installed folder, made by `cmake --install`), FILES (the list of what it holds, for the
; uninstaller) and OUTFILE.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include "LogicLib.nsh"

Name "Kelmo"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Kelmo"
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "Kelmo"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "Instalador de Kelmo"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Kelmo developers"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kelmo"
!define APP_KEY "Software\Classes\Applications\kelmo.exe"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; The file types offered "Open with" Kelmo: those it reads.
!macro ForEachType MACRO
  !insertmacro ${MACRO} ".jpg"
  !insertmacro ${MACRO} ".jpeg"
  !insertmacro ${MACRO} ".jpe"
  !insertmacro ${MACRO} ".jfif"
  !insertmacro ${MACRO} ".png"
  !insertmacro ${MACRO} ".webp"
  !insertmacro ${MACRO} ".avif"
  !insertmacro ${MACRO} ".heic"
  !insertmacro ${MACRO} ".heif"
  !insertmacro ${MACRO} ".jxl"
  !insertmacro ${MACRO} ".gif"
  !insertmacro ${MACRO} ".bmp"
  !insertmacro ${MACRO} ".dib"
  !insertmacro ${MACRO} ".ico"
!macroend
!macro OfferType EXT
  WriteRegStr HKLM "${APP_KEY}\SupportedTypes" "${EXT}" ""
  WriteRegStr HKLM "Software\Classes\${EXT}\OpenWithList\kelmo.exe" "" ""
!macroend
!macro WithdrawType EXT
  DeleteRegKey HKLM "Software\Classes\${EXT}\OpenWithList\kelmo.exe"
  Push "Software\Classes\${EXT}\OpenWithList"
  Call un.DeleteKeyIfEmpty
  Push "Software\Classes\${EXT}"
  Call un.DeleteKeyIfEmpty
!macroend

; Deletes the HKLM key on the stack when it holds neither subkeys nor values: the type's own
; key usually names its program in its default value, and stays. (DeleteRegKey /ifempty looks at
; subkeys only.)
Function un.DeleteKeyIfEmpty
  Exch $0
  Push $1
  EnumRegKey $1 HKLM $0 0
  StrCmp $1 "" 0 keep
  EnumRegValue $1 HKLM $0 0
  StrCmp $1 "" 0 keep
  EnumRegValue $1 HKLM $0 1
  StrCmp $1 "" 0 keep
  ClearErrors
  ReadRegStr $1 HKLM $0 ""
  IfErrors 0 keep
  DeleteRegKey HKLM $0
keep:
  Pop $1
  Pop $0
FunctionEnd

Function .onInit
  SetRegView 64
FunctionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

Section "Kelmo"
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File /r "${STAGE}/*"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Kelmo.lnk" "$INSTDIR\kelmo.exe"

  ; Kelmo takes the whole text after its name as the file's name, quotes and all: %1 stands
  ; unquoted, and a name with blanks still arrives whole.
  WriteRegStr HKLM "${APP_KEY}" "FriendlyAppName" "Kelmo"
  WriteRegStr HKLM "${APP_KEY}\shell\open\command" "" '"$INSTDIR\kelmo.exe" %1'
  !insertmacro ForEachType OfferType

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Kelmo"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Kelmo developers"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\kelmo.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  Delete "$SMPROGRAMS\Kelmo.lnk"
  !insertmacro ForEachType WithdrawType
  DeleteRegKey HKLM "${APP_KEY}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ; Only what was installed: a folder chosen for the installation may hold other files.
!include "${FILES}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
