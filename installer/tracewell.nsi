; Tracewell for Windows: the viewer, the two Stepwrights, the help file and the formula
; function library Tracetap.dll (32-bit, and on 64-bit Windows also the 64-bit one, each
; registered with its own regsvr32). Silent with /S; the uninstaller unregisters and removes
; everything it installed.
;
; Made by the build (target `installer`, cmake/WindowsDeploy.cmake) with:
;   makensis -NOCD -DVERSION=3.0.0 -DVERSION_MAJOR=3 -DVERSION_MINOR=0 -DVERSION_PATCH=0
;            -DBINDIR=<build>/stage -DOUTFILE=<setup.exe> -DLICENSE=<LICENSE>
;            [-DTRACETAP64=<64-bit Tracetap.dll>] installer/tracewell.nsi
; BINDIR holds the programs stripped of their debug information (the build keeps it in bin/).

Unicode true
SetCompressor /SOLID lzma
!include "LogicLib.nsh"
!include "x64.nsh"
!include "MUI2.nsh"
!include "FileFunc.nsh"

!ifndef VERSION | BINDIR | OUTFILE | LICENSE
  !error "VERSION, BINDIR, OUTFILE and LICENSE must be defined (see the head of this file)"
!endif

!define PRODUCT "Tracewell"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tracewell"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES32\Tracewell"
InstallDirRegKey HKLM "Software\Tracewell" "InstallDir"
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION_MAJOR}.${VERSION_MINOR}.${VERSION_PATCH}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "The Tracewell developers"

!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TEXT "This will install ${PRODUCT} ${VERSION}: the trace viewer, the Stepwright for Crystal Reports 9 and 8.5, the help, and the formula function library Tracetap for the report engine.$\r$\n$\r$\nClose the report designer before you go on, so that the library can be registered.$\r$\n$\r$\nClick Next to continue."
!define MUI_FINISHPAGE_RUN "$INSTDIR\tracewell32.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Run Tracewell"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${LICENSE}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; regsvr32 [/u] of one library; a failure stops the installation (or is reported by the
; uninstaller) with the status regsvr32 gave.
!macro Regsvr32 sysdir flags dll what
  ClearErrors
  ExecWait '"${sysdir}\regsvr32.exe" /s ${flags} "${dll}"' $0
  ${If} ${Errors}
  ${OrIf} $0 != 0
    StrCpy $1 "${what} failed (regsvr32 status $0): ${dll}"
    DetailPrint "$1"
    !if "${flags}" == ""
      MessageBox MB_OK|MB_ICONSTOP "$1" /SD IDOK
      Abort
    !endif
  ${Else}
    DetailPrint "${what}: ${dll}"
  ${EndIf}
!macroend

Section "Tracewell" SecMain
  SectionIn RO
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File "${BINDIR}/tracewell32.exe"
  File "${BINDIR}/Stepwright9.exe"
  File "${BINDIR}/Stepwright85.exe"
  File "${BINDIR}/Tracetap.dll"
  File "${BINDIR}/TracetapCheck.exe"
  File "${BINDIR}/twprofile.exe"
  File "${BINDIR}/twdiff.exe"
  File "${BINDIR}/Qt6Core.dll"
  File "${BINDIR}/Qt6Gui.dll"
  File "${BINDIR}/Qt6Widgets.dll"
  File "${BINDIR}/Qt6PrintSupport.dll"
  !if /FileExists "${BINDIR}/Qt6Charts.dll"
    File "${BINDIR}/Qt6Charts.dll"
  !endif
  File "${BINDIR}/libgcc_s_dw2-1.dll"
  File "${BINDIR}/libstdc++-6.dll"
  File "${BINDIR}/libwinpthread-1.dll"
  !if /FileExists "${BINDIR}/tracewell3.chm"
    File "${BINDIR}/tracewell3.chm"
  !endif
  SetOutPath "$INSTDIR\platforms"
  File "${BINDIR}/platforms/qwindows.dll"
  SetOutPath "$INSTDIR\styles"
  File "${BINDIR}/styles/qwindowsvistastyle.dll"
  SetOutPath "$INSTDIR"

  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The 32-bit library, for the 32-bit report engine: the 32-bit regsvr32 ($SYSDIR of this
  ; 32-bit installer is SysWOW64 on 64-bit Windows).
  !insertmacro Regsvr32 "$SYSDIR" "" "$INSTDIR\Tracetap.dll" "Registered"

!ifdef TRACETAP64
  ${If} ${RunningX64}
    SetOutPath "$INSTDIR\x64"
    File "${TRACETAP64}"
    SetOutPath "$INSTDIR"
    ${DisableX64FSRedirection}
    !insertmacro Regsvr32 "$SYSDIR" "" "$INSTDIR\x64\Tracetap.dll" "Registered"
    ${EnableX64FSRedirection}
  ${EndIf}
!endif

  CreateDirectory "$SMPROGRAMS\Tracewell"
  CreateShortCut "$SMPROGRAMS\Tracewell\Tracewell.lnk" "$INSTDIR\tracewell32.exe"
  CreateShortCut "$SMPROGRAMS\Tracewell\Stepwright for Crystal Reports 9.lnk" "$INSTDIR\Stepwright9.exe"
  CreateShortCut "$SMPROGRAMS\Tracewell\Stepwright for Crystal Reports 8.5.lnk" "$INSTDIR\Stepwright85.exe"
  !if /FileExists "${BINDIR}/tracewell3.chm"
    CreateShortCut "$SMPROGRAMS\Tracewell\Tracewell Help.lnk" "$INSTDIR\tracewell3.chm"
  !endif
  ; The check prints its lines in a console window that stays open to be read.
  CreateShortCut "$SMPROGRAMS\Tracewell\Check the Tracetap Installation.lnk" "$SYSDIR\cmd.exe" '/k "$INSTDIR\TracetapCheck.exe"'
  CreateShortCut "$SMPROGRAMS\Tracewell\Uninstall Tracewell.lnk" "$INSTDIR\uninstall.exe"

  WriteRegStr HKLM "Software\Tracewell" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "The Tracewell developers"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tracewell32.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  !if /FileExists "${BINDIR}/tracewell3.chm"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "HelpLink" "$INSTDIR\tracewell3.chm"
  !endif
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ; What Apps and Features shows as the size, in KiB.
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  ; Unregister first, while the libraries are still there.
  ${If} ${RunningX64}
  ${AndIf} ${FileExists} "$INSTDIR\x64\Tracetap.dll"
    ${DisableX64FSRedirection}
    !insertmacro Regsvr32 "$SYSDIR" "/u" "$INSTDIR\x64\Tracetap.dll" "Unregistered"
    ${EnableX64FSRedirection}
  ${EndIf}
  ${If} ${FileExists} "$INSTDIR\Tracetap.dll"
    !insertmacro Regsvr32 "$SYSDIR" "/u" "$INSTDIR\Tracetap.dll" "Unregistered"
  ${EndIf}

  Delete "$INSTDIR\tracewell32.exe"
  Delete "$INSTDIR\Stepwright9.exe"
  Delete "$INSTDIR\Stepwright85.exe"
  Delete "$INSTDIR\Tracetap.dll"
  Delete "$INSTDIR\TracetapCheck.exe"
  Delete "$INSTDIR\twprofile.exe"
  Delete "$INSTDIR\twdiff.exe"
  Delete "$INSTDIR\x64\Tracetap.dll"
  RMDir "$INSTDIR\x64"
  Delete "$INSTDIR\Qt6Core.dll"
  Delete "$INSTDIR\Qt6Gui.dll"
  Delete "$INSTDIR\Qt6Widgets.dll"
  Delete "$INSTDIR\Qt6PrintSupport.dll"
  Delete "$INSTDIR\Qt6Charts.dll"
  Delete "$INSTDIR\libgcc_s_dw2-1.dll"
  Delete "$INSTDIR\libstdc++-6.dll"
  Delete "$INSTDIR\libwinpthread-1.dll"
  Delete "$INSTDIR\tracewell3.chm"
  Delete "$INSTDIR\platforms\qwindows.dll"
  RMDir "$INSTDIR\platforms"
  Delete "$INSTDIR\styles\qwindowsvistastyle.dll"
  RMDir "$INSTDIR\styles"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"

  Delete "$SMPROGRAMS\Tracewell\Tracewell.lnk"
  Delete "$SMPROGRAMS\Tracewell\Stepwright for Crystal Reports 9.lnk"
  Delete "$SMPROGRAMS\Tracewell\Stepwright for Crystal Reports 8.5.lnk"
  Delete "$SMPROGRAMS\Tracewell\Tracewell Help.lnk"
  Delete "$SMPROGRAMS\Tracewell\Check the Tracetap Installation.lnk"
  Delete "$SMPROGRAMS\Tracewell\Uninstall Tracewell.lnk"
  RMDir "$SMPROGRAMS\Tracewell"

  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "Software\Tracewell"
SectionEnd
