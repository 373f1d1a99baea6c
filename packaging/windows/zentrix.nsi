; The Windows installer of zentrix.exe: a folder under Program Files, a Start menu entry and an
; uninstaller. Made by scripts/windows with makensis -DEXE=... -DOUT=...
Unicode true
Name "Zentrix Configuration & Calibration 1.71"
OutFile "${OUT}"
InstallDir "$PROGRAMFILES64\Zentrix"
RequestExecutionLevel admin

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Install"
    SetOutPath "$INSTDIR"
    File "${EXE}"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortCut "$SMPROGRAMS\Zentrix Configuration & Calibration.lnk" "$INSTDIR\zentrix.exe"
    WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\Zentrix" "DisplayName" "Zentrix Configuration & Calibration"
    WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\Zentrix" "DisplayVersion" "1.71"
    WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\Zentrix" "UninstallString" "$INSTDIR\uninstall.exe"
SectionEnd

Section "Uninstall"
    Delete "$SMPROGRAMS\Zentrix Configuration & Calibration.lnk"
    Delete "$INSTDIR\zentrix.exe"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\Zentrix"
SectionEnd
