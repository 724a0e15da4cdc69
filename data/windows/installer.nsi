; The Windows installer of mirel9x, built by makensis from the Windows build
; (the target package-windows). makensis is given:
;   VERSION   3.18
;   PROGRAM   the built mirel9x.exe
;   FONTS     the folder with the two strip fonts
;   SETTINGS  the default 設定.ini
;   ICON      the program's icon
;   OUTFILE   where the installer goes
;
; It installs for every user of the machine into Program Files:
;   bin\mirel9x.exe, bin\fonts\*.pcf.gz   the program and its strip fonts
;   share\mirel9x\設定.ini                 the default settings
;   uninstall.exe
; so the program, finding a default under ..\share\mirel9x and none beside
; itself, keeps each user's settings in %APPDATA%\mirel9x\設定.ini (made on
; the first start as a copy of the default). A Start-menu shortcut, the
; uninstaller in Apps, and, when chosen on the components page or with
; /AUTOSTART, a shortcut in the Startup folder. The uninstaller removes all
; of this and leaves the users' settings.
Unicode true
Target amd64-unicode
ManifestDPIAware true
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "x64.nsh"
!include "WinMessages.nsh"

!define PRODUCT "Mirel君9x"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\mirel9x"
!define SHORTCUT "${PRODUCT}.lnk"
; The running program's hidden main window (shell/win32/host_window.h).
!define HOST_CLASS "mirel9x.Host"

Name "${PRODUCT}"
Caption "${PRODUCT} ${VERSION} セットアップ"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\mirel9x"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=1041 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1041 "ProductVersion" "Ver${VERSION}"
VIAddVersionKey /LANG=1041 "FileDescription" "${PRODUCT} セットアップ"
VIAddVersionKey /LANG=1041 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1041 "LegalCopyright" "mirel9x の開発者"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN "$INSTDIR\bin\mirel9x.exe"
!define MUI_FINISHPAGE_RUN_TEXT "${PRODUCT} を起動する"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Japanese"

; A running monitor holds its program file: it is asked to end (as "終了"
; does) and given a few seconds.
!macro CloseRunningProgram
  FindWindow $0 "${HOST_CLASS}"
  ${If} $0 <> 0
    SendMessage $0 ${WM_CLOSE} 0 0
    StrCpy $1 0
    ${Do}
      Sleep 100
      FindWindow $0 "${HOST_CLASS}"
      IntOp $1 $1 + 1
      ${If} $1 >= 50
        ${Break}
      ${EndIf}
    ${LoopWhile} $0 <> 0
  ${EndIf}
!macroend

Section "${PRODUCT}" SecProgram
  SectionIn RO
  SetShellVarContext all
  !insertmacro CloseRunningProgram
  SetOutPath "$INSTDIR\bin"
  File "/oname=mirel9x.exe" "${PROGRAM}"
  SetOutPath "$INSTDIR\bin\fonts"
  File "${FONTS}/shnm6x12a.pcf.gz"
  File "${FONTS}/b12.pcf.gz"
  SetOutPath "$INSTDIR\share\mirel9x"
  File "/oname=設定.ini" "${SETTINGS}"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateShortcut "$SMPROGRAMS\${SHORTCUT}" "$INSTDIR\bin\mirel9x.exe" "" \
      "$INSTDIR\bin\mirel9x.exe" 0 SW_SHOWNORMAL "" "${PRODUCT}"

  ; Apps (Programs and Features) lists and removes it from here.
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\bin\mirel9x.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "mirel9x"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section /o "ログオン時に起動する" SecAutostart
  SetShellVarContext all
  CreateShortcut "$SMSTARTUP\${SHORTCUT}" "$INSTDIR\bin\mirel9x.exe" "" \
      "$INSTDIR\bin\mirel9x.exe" 0 SW_SHOWNORMAL "" "${PRODUCT}"
SectionEnd

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} は 64 ビット版の Windows 用です。"
    Abort
  ${EndIf}
  SetRegView 64
  ; /AUTOSTART chooses the start at logon, also for a silent install (/S).
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/AUTOSTART" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecAutostart}
  ${EndIf}
FunctionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

Section "Uninstall"
  SetShellVarContext all
  !insertmacro CloseRunningProgram
  Delete "$SMPROGRAMS\${SHORTCUT}"
  Delete "$SMSTARTUP\${SHORTCUT}"
  Delete "$INSTDIR\bin\fonts\shnm6x12a.pcf.gz"
  Delete "$INSTDIR\bin\fonts\b12.pcf.gz"
  RMDir "$INSTDIR\bin\fonts"
  Delete "$INSTDIR\bin\mirel9x.exe"
  RMDir "$INSTDIR\bin"
  Delete "$INSTDIR\share\mirel9x\設定.ini"
  RMDir "$INSTDIR\share\mirel9x"
  RMDir "$INSTDIR\share"
  Delete "$INSTDIR\uninstall.exe"
  ; Only when empty: what a user put there stays. The users' own settings
  ; (%APPDATA%\mirel9x) are theirs and stay as well.
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
