; The per-user installer of tunehaven, built by scripts/package.sh:
;   makensis -DVERSION=0.2 -DVERSION4=0.2.0.0 -DSTAGE=<folder with the files> -DICON=<icon>
;            -DOUTFILE=<setup.exe> tunehaven.nsi
; It installs without administrator rights into %LOCALAPPDATA%\Programs\tunehaven, adds a Start
; menu shortcut and an entry in "Apps & features"; /S installs and uninstalls silently. A running
; tunehaven is closed through its window first (it saves its settings and playlists then). The
; uninstaller removes the program and its entries and keeps the user's data and settings.

; A 64-bit installer for the 64-bit program (it runs wherever the program can).
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user

!define NAME "tunehaven"
!define PUBLISHER "tunehaven developers"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\tunehaven"
!define WINDOW_CLASS "tunehaven"

Name "${NAME} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\tunehaven"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails nevershow
ShowUninstDetails nevershow

VIProductVersion "${VERSION4}"
VIAddVersionKey "ProductName" "${NAME}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${NAME} ${VERSION} setup"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "LegalCopyright" "${PUBLISHER}"

!include "MUI2.nsh"
!include "FileFunc.nsh"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\tunehaven.exe"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; A running copy holds tunehaven.exe open. It is asked to close as the user's Close would (it
; saves its settings, favourites and playlists), then waited for; the user is asked first unless
; the installer runs silently.
!macro CLOSE_RUNNING un
Function ${un}CloseRunning
  FindWindow $0 "${WINDOW_CLASS}"
  StrCmp $0 0 done
  IfSilent close
  MessageBox MB_OKCANCEL|MB_ICONINFORMATION "tunehaven is running. It will be closed now (its settings and playlists are saved)." IDOK close
  Abort
close:
  StrCpy $1 0
again:
  ; Sent again each second: a copy still building its library tree waits before it closes.
  SendMessage $0 ${WM_CLOSE} 0 0 /TIMEOUT=2000
  Sleep 1000
  FindWindow $0 "${WINDOW_CLASS}"
  StrCmp $0 0 done
  IntOp $1 $1 + 1
  IntCmp $1 30 0 again 0
  IfSilent +2
  MessageBox MB_OK|MB_ICONSTOP "tunehaven could not be closed. Close it, then run this setup again."
  Abort
done:
FunctionEnd
!macroend
!insertmacro CLOSE_RUNNING ""
!insertmacro CLOSE_RUNNING "un."

Section "tunehaven"
  Call CloseRunning
  SetOutPath "$INSTDIR"
  File "${STAGE}\tunehaven.exe"
  File "${STAGE}\README.txt"
  SetOutPath "$INSTDIR\licences"
  File "${STAGE}\licences\*.txt"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\tunehaven.lnk" "$INSTDIR\tunehaven.exe" "" "$INSTDIR\tunehaven.exe" 0

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${NAME}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tunehaven.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

; The user's data (%APPDATA%\tunehaven) and settings (HKCU\Software\tunehaven) stay.
Section "Uninstall"
  Call un.CloseRunning
  Delete "$INSTDIR\tunehaven.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\licences\*.txt"
  RMDir "$INSTDIR\licences"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\tunehaven.lnk"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
