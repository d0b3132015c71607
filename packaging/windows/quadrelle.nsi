; The Windows installer. scripts/package --windows makes it from a staged install:
;   makensis -DVERSION=1.17 -DOUTFILE=... -DFILES=install.nsh -DREMOVE=uninstall.nsh quadrelle.nsi
; install.nsh puts every staged file in place, uninstall.nsh removes exactly those files and the
; folders they made. The uninstaller leaves the settings (HKCU\Software\Mirelon Consulting).
; A 64-bit installer for a 64-bit program (and wine64 runs it in the check).
Target amd64-unicode
SetCompressor /SOLID lzma
!include "x64.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quadrelle"

Name "Quadrelle ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Quadrelle"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
  SetRegView 64
FunctionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

Section "Quadrelle"
  SetShellVarContext all
  !include "${FILES}"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  ; The program writes its trace log (Quadrelle.txt) into the folder it starts in, and the program
  ; folder is not writable for the operator: the entries start in the shared documents instead.
  CreateDirectory "$DOCUMENTS\Quadrelle"
  SetOutPath "$DOCUMENTS\Quadrelle"
  CreateShortCut "$SMPROGRAMS\Quadrelle.lnk" "$INSTDIR\quadrelle.exe"
  CreateShortCut "$SMPROGRAMS\Quadrelle Boards and Hand Records.lnk" "$INSTDIR\quadrelle-prepare.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Quadrelle"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Mirelon Consulting"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\quadrelle.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  Delete "$SMPROGRAMS\Quadrelle.lnk"
  Delete "$SMPROGRAMS\Quadrelle Boards and Hand Records.lnk"
  !include "${REMOVE}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  RMDir "$DOCUMENTS\Quadrelle"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
