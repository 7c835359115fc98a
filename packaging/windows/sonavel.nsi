; The sonavel installer. tools/windows/package.sh runs makensis with:
;   VERSION  the program's version
;   STAGE    the folder holding exactly the files to install
;   LISTS    the folder with install-files.nsh and uninstall-files.nsh, the File and Delete
;            lines for those files (the uninstaller removes what was installed, nothing else)
;   OUTFILE  the installer to write
; A 64-bit installer: it runs where the program does, and under a 64-bit-only Wine.
Target amd64-unicode
SetCompressor /SOLID lzma

!include "MUI2.nsh"
!include "LogicLib.nsh"

!define PRODUCT "sonavel"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
; "Open with sonavel" for the sound files it plays: a ProgID named in each type's OpenWithProgids
; (offered, never made the default), and the program's own entry under Applications.
!define CLASSES "Software\Classes"
!define PROGID "sonavel.sound"
!define APP_KEY "${CLASSES}\Applications\sonavelw.exe"
!define SHCNE_ASSOCCHANGED 0x08000000

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
InstallDirRegKey HKLM "Software\${PRODUCT}" "InstallDir"
RequestExecutionLevel admin

!define MUI_ICON "${STAGE}/sonavel.ico"
!define MUI_UNICON "${STAGE}/sonavel.ico"
!define MUI_FINISHPAGE_RUN "$INSTDIR\sonavelw.exe"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Offers the ProgID for one type, and names the type among those the program opens.
!macro OfferType EXT
  WriteRegStr HKLM "${CLASSES}\${EXT}\OpenWithProgids" "${PROGID}" ""
  WriteRegStr HKLM "${APP_KEY}\SupportedTypes" "${EXT}" ""
!macroend

; Deletes the key when it holds nothing at all: no subkey, no named value, no default value.
!macro DeleteKeyIfEmpty KEY
  EnumRegValue $0 HKLM "${KEY}" 0
  EnumRegKey $1 HKLM "${KEY}" 0
  ${If} "$0$1" == ""
    ClearErrors
    ReadRegStr $2 HKLM "${KEY}" ""
    ${If} ${Errors}
      DeleteRegKey HKLM "${KEY}"
    ${EndIf}
  ${EndIf}
!macroend

; Takes the offer back; the keys it was written into go too when nothing else is left in them
; (where the installer made them).
!macro WithdrawType EXT
  DeleteRegValue HKLM "${CLASSES}\${EXT}\OpenWithProgids" "${PROGID}"
  !insertmacro DeleteKeyIfEmpty "${CLASSES}\${EXT}\OpenWithProgids"
  !insertmacro DeleteKeyIfEmpty "${CLASSES}\${EXT}"
!macroend

!macro ForEachType MACRO
  !insertmacro ${MACRO} ".wav"
  !insertmacro ${MACRO} ".flac"
  !insertmacro ${MACRO} ".ogg"
  !insertmacro ${MACRO} ".opus"
  !insertmacro ${MACRO} ".mp3"
!macroend

; The Start-menu entry is for every user of the machine, as the program is.
Function .onInit
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetShellVarContext all
FunctionEnd

Section "${PRODUCT}"
  !include "${LISTS}/install-files.nsh"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  ; The window program: no console window opens behind it.
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\sonavelw.exe" "" "$INSTDIR\sonavelw.exe" 0
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\Uninstall ${PRODUCT}.lnk" "$INSTDIR\uninstall.exe"

  WriteRegStr HKLM "Software\${PRODUCT}" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\sonavel.ico"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1

  ; `sonavelw FILE` plays the file in the window.
  WriteRegStr HKLM "${CLASSES}\${PROGID}" "" "Sound file"
  WriteRegStr HKLM "${CLASSES}\${PROGID}\DefaultIcon" "" "$INSTDIR\sonavel.ico"
  WriteRegStr HKLM "${CLASSES}\${PROGID}\shell\open" "FriendlyAppName" "${PRODUCT}"
  WriteRegStr HKLM "${CLASSES}\${PROGID}\shell\open\command" "" '"$INSTDIR\sonavelw.exe" "%1"'
  WriteRegStr HKLM "${APP_KEY}" "FriendlyAppName" "${PRODUCT}"
  WriteRegStr HKLM "${APP_KEY}\shell\open\command" "" '"$INSTDIR\sonavelw.exe" "%1"'
  !insertmacro ForEachType OfferType
  System::Call 'shell32::SHChangeNotify(i ${SHCNE_ASSOCCHANGED}, i 0, p 0, p 0)'
SectionEnd

Section "Uninstall"
  Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\Uninstall ${PRODUCT}.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"
  !include "${LISTS}/uninstall-files.nsh"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "Software\${PRODUCT}"
  !insertmacro ForEachType WithdrawType
  DeleteRegKey HKLM "${APP_KEY}"
  DeleteRegKey HKLM "${CLASSES}\${PROGID}"
  System::Call 'shell32::SHChangeNotify(i ${SHCNE_ASSOCCHANGED}, i 0, p 0, p 0)'
SectionEnd
