; The Windows installer: per user (no administrator rights), into
; %LOCALAPPDATA%\Programs\Quorvel with the client's config folder beside
; it, a Start-menu shortcut and an uninstaller registered for the user.
;   makensis -DVERSION=x.y.z -DPROGRAM=path\to\quorvel.exe -DOUTFILE=setup.exe installer.nsi
; Silent: setup.exe /S [/AUTOSTART] [/D=folder]; uninstall.exe /S [/REMOVECONFIG]
; (config.ini is kept unless /REMOVECONFIG is given).
; 64-bit, as the client it installs (and Wine here runs only 64-bit programs).
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "Sections.nsh"

!define APP "Quorvel Desk"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\QuorvelDesk"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
; The WebView2 runtime's registration (per machine, then per user).
!define WEBVIEW2_KEY "Software\Microsoft\EdgeUpdate\Clients\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}"

Name "${APP}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Quorvel"
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${APP}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${APP} installer"
VIAddVersionKey "LegalCopyright" "The Quorvel Desk authors"

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

Section "Quorvel在线客服" SecProgram
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "/oname=quorvel.exe" "${PROGRAM}"
  File "/oname=LICENSES.txt" "${NOTICES}"
  CreateDirectory "$INSTDIR\config"
  CreateShortcut "$SMPROGRAMS\${APP}.lnk" "$INSTDIR\quorvel.exe"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${APP}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "The Quorvel Desk authors"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\quorvel.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ; The web view's runtime, when it is missing and its installer was
  ; handed out beside this one.
  ReadRegStr $0 HKLM "${WEBVIEW2_KEY}" "pv"
  ${If} $0 == ""
    ReadRegStr $0 HKCU "${WEBVIEW2_KEY}" "pv"
  ${EndIf}
  ${If} $0 == ""
  ${AndIf} ${FileExists} "$EXEDIR\MicrosoftEdgeWebview2Setup.exe"
    ExecWait '"$EXEDIR\MicrosoftEdgeWebview2Setup.exe" /silent /install'
  ${EndIf}
SectionEnd

; The same value the tray's 开机自动启动 writes.
Section /o "开机自动启动" SecAutostart
  WriteRegStr HKCU "${RUN_KEY}" "${APP}" '"$INSTDIR\quorvel.exe" --autostart'
SectionEnd

Function .onInit
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/AUTOSTART" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecAutostart}
  ${EndIf}
FunctionEnd

Section "Uninstall"
  Delete "$INSTDIR\quorvel.exe"
  Delete "$INSTDIR\LICENSES.txt"
  Delete "$INSTDIR\WebView2Plus.dll"
  Delete "$INSTDIR\Restart.bat"
  Delete "$INSTDIR\uninstall.exe"
  Delete "$SMPROGRAMS\${APP}.lnk"
  DeleteRegValue HKCU "${RUN_KEY}" "${APP}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/REMOVECONFIG" $1
  ${IfNot} ${Errors}
    RMDir /r "$INSTDIR\config"
  ${EndIf}
  ; The folder goes only when nothing of the agent's is left in it.
  RMDir "$INSTDIR\config"
  RMDir "$INSTDIR"
SectionEnd
