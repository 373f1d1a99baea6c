; The Windows installer of zentrix.exe and zentrix-cli.exe: a folder under Program Files, a
; Start menu entry and an uninstaller. A 64-bit installer for a 64-bit program. Made by
; scripts/windows with makensis -DEXE=... -DCLI=... -DOUT=...
Target amd64-unicode
Name "Zentrix Configuration & Calibration 1.71"
OutFile "${OUT}"
InstallDir "$PROGRAMFILES64\Zentrix"
RequestExecutionLevel admin

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Zentrix"

Section "Install"
    ; For every user of the machine, as an administrator installs it.
    SetShellVarContext all
    SetRegView 64
    SetOutPath "$INSTDIR"
    File "${EXE}"
    File "${CLI}"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortCut "$SMPROGRAMS\Zentrix Configuration & Calibration.lnk" "$INSTDIR\zentrix.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Zentrix Configuration & Calibration"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "1.71"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Zentrix Engineering"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\zentrix.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
SectionEnd

Section "Uninstall"
    SetShellVarContext all
    SetRegView 64
    Delete "$SMPROGRAMS\Zentrix Configuration & Calibration.lnk"
    Delete "$INSTDIR\zentrix.exe"
    Delete "$INSTDIR\zentrix-cli.exe"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
