; The Windows installer: a per-user install that needs no administrator, with a Start-menu
; shortcut, an entry in the user's list of installed programs, and an uninstaller that leaves no
; shortcut pointing nowhere and keeps the settings.
;   makensis -WX -DVERSION=1.4 -DSTAGE=folder-with-the-program -DOUTFILE=setup.exe installer.nsi
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Lumora"
!define PUBLISHER "Lumora developers"

Name "Lumora"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Lumora"
; An upgrade goes where the first install went.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=0 "ProductName" "Lumora"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileDescription" "Lumora setup"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "LegalCopyright" "MIT License"

!include "MUI2.nsh"
!define MUI_ICON "${__FILEDIR__}\lumora.ico"
!define MUI_UNICON "${__FILEDIR__}\lumora.ico"
!define MUI_FINISHPAGE_RUN "$INSTDIR\lumora-win.exe"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "German"

Section
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  File "${STAGE}\lumora-win.exe"
  File "${STAGE}\README.txt"
  ; The program keeps its settings in %APPDATA%\Lumora when it finds this file beside it, so that
  ; uninstalling or upgrading never takes the login with the program's folder.
  FileOpen $0 "$INSTDIR\installed.txt" w
  FileWrite $0 "Lumora was installed here; its settings are in %APPDATA%\Lumora\settings.ini.$\r$\n"
  FileClose $0
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortCut "$SMPROGRAMS\Lumora.lnk" "$INSTDIR\lumora-win.exe" "" "$INSTDIR\lumora-win.exe" 0

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Lumora"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\lumora-win.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext current
  Delete "$INSTDIR\lumora-win.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\installed.txt"
  Delete "$INSTDIR\uninstall.exe"
  ; Only an empty folder goes: anything the user put there stays.
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Lumora.lnk"
  ; Made by the program when the user chose to start it with Windows; it would point nowhere now.
  Delete "$SMSTARTUP\Lumora.lnk"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
