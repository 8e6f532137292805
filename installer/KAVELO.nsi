; The KAVELO add-on's Windows installer: puts KAVELO.apx into the add-ons folder of every installed Archicad
; it carries a module for, records what it put, and writes the uninstaller that takes exactly that away.
; Built by scripts/package.sh:
;   makensis -DVERSION=1.2.3 -DOUTFILE=Setup.exe -DMODULES=modules.nsh [-DSIGN=command] [-DTEST_BUILD] KAVELO.nsi
; MODULES defines the macro KaveloEachModule, which inserts its argument once per Archicad version with
; that version's module: !insertmacro ${ACTION} 28 "/path/to/KAVELO.apx". SIGN, when given, is a command
; that signs the file named by its last argument in place; it runs on the installer and the uninstaller.
; TEST_BUILD marks a package of modules not for distribution in its title and its Add/Remove entry.
; Exit codes (the README lists them for silent installs): 0 done, 1 cancelled by the person, 2 a file could
; not be written, 3 Archicad is running, 4 no Archicad that this installer has a module for, 5 not run
; with administrator rights.
Target amd64-unicode
RequestExecutionLevel admin
ManifestSupportedOS all
SetCompressor /SOLID lzma
AllowSkipFiles off

!include LogicLib.nsh
!include FileFunc.nsh
!include MUI2.nsh
!include "${MODULES}"

!define PRODUCT "KAVELO"
!define ENTRY "Software\Microsoft\Windows\CurrentVersion\Uninstall\KAVELO"
!define EXIT_RUNNING 3
!define EXIT_NO_ARCHICAD 4
!define EXIT_NOT_ADMIN 5
; Where the installer keeps what it found while it runs (one section per add-ons folder it will serve).
!define TARGETS "$PLUGINSDIR\targets.ini"

!ifdef TEST_BUILD
  !define DISPLAY_NAME "${PRODUCT} (test build, not for distribution)"
  Name "${PRODUCT} ${VERSION} (test build, not for distribution)"
!else
  !define DISPLAY_NAME "${PRODUCT}"
  Name "${PRODUCT} ${VERSION}"
!endif
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show
VIProductVersion "${VERSION}.0"
VIAddVersionKey ProductName "${PRODUCT}"
VIAddVersionKey ProductVersion "${VERSION}"
VIAddVersionKey FileVersion "${VERSION}"
VIAddVersionKey FileDescription "${PRODUCT} add-on for Archicad: setup"
VIAddVersionKey LegalCopyright "${PRODUCT}"
!ifdef SIGN
  !finalize '${SIGN} "%1"'
  !uninstfinalize '${SIGN} "%1"'
!endif

Var Found        ; the installations found, one line each, for the welcome page
Var TargetCount  ; sections 0 .. TargetCount-1 of TARGETS
Var OwnId        ; our module's add-on identifier resource, in hex
Var AddOns       ; the add-ons folder being searched for other copies
Var Log          ; handle of install.log while the installer writes it

!define MUI_WELCOMEPAGE_TEXT "This puts the ${PRODUCT} add-on into the Add-Ons folder of each Archicad found on \
  this computer:$\r$\n$\r$\n$Found$\r$\nArchicad loads it the next time it starts."
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Whether a process named Archicad.exe runs ($0 = 1) or not ($0 = 0). A running Archicad holds its add-ons
; open and loads a new one only at its next start.
!macro ArchicadRunning un
Function ${un}ArchicadRunning
  Push $1
  Push $2
  Push $3
  Push $4
  StrCpy $0 0
  System::Call 'kernel32::CreateToolhelp32Snapshot(i 2, i 0) p .r1'
  ${If} $1 != -1
    ; PROCESSENTRY32W on x64: 568 bytes, the executable's name at offset 44.
    System::Alloc 568
    Pop $2
    System::Call '*$2(i 568)'
    System::Call 'kernel32::Process32FirstW(p r1, p r2) i .r3'
    ${DoWhile} $3 != 0
      System::Call '*$2(i, i, i, i, l, i, i, i, i, i, &w260 .r4)'
      ${If} $4 == "Archicad.exe"  ; StrCmp ignores case: ARCHICAD.exe too
        StrCpy $0 1
        ${Break}
      ${EndIf}
      System::Call 'kernel32::Process32NextW(p r1, p r2) i .r3'
    ${Loop}
    System::Free $2
    System::Call 'kernel32::CloseHandle(p r1)'
  ${EndIf}
  Pop $4
  Pop $3
  Pop $2
  Pop $1
FunctionEnd
!macroend
!insertmacro ArchicadRunning ""
!insertmacro ArchicadRunning "un."

!macro RefuseWhileArchicadRuns un
  Call ${un}ArchicadRunning
  ${If} $0 = 1
    MessageBox MB_ICONSTOP "Archicad is running. Quit every Archicad, then run this again." /SD IDOK
    SetErrorLevel ${EXIT_RUNNING}
    Quit
  ${EndIf}
!macroend

; The add-on identifier resource ('MDID' 32500) of the module file in $R9, in hex ($0; empty when the file
; carries none or is no module).
Function AddOnId
  Push $1
  Push $2
  Push $3
  Push $4
  StrCpy $0 ""
  ; LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE: no code of the file runs.
  System::Call 'kernel32::LoadLibraryExW(w R9, p 0, i 0x22) p .r1'
  ${If} $1 P<> 0
    System::Call 'kernel32::FindResourceW(p r1, p 32500, w "MDID") p .r2'
    ${If} $2 P<> 0
      System::Call 'kernel32::SizeofResource(p r1, p r2) i .r3'
      System::Call 'kernel32::LoadResource(p r1, p r2) p .r2'
      System::Call 'kernel32::LockResource(p r2) p .r2'
      ${DoWhile} $3 > 0
        System::Call '*$2(&i1 .r4)'
        IntFmt $4 "%02x" $4
        StrCpy $0 "$0$4"
        IntPtrOp $2 $2 + 1
        IntOp $3 $3 - 1
      ${Loop}
    ${EndIf}
    System::Call 'kernel32::FreeLibrary(p r1)'
  ${EndIf}
  Pop $4
  Pop $3
  Pop $2
  Pop $1
FunctionEnd

; The folder under the installation $R1 that holds its add-ons ($R2; empty when none is found): Add-Ons,
; or where the language version names it otherwise, the folder directly under the installation whose
; subfolders hold .apx files.
Function AddOnsFolder
  StrCpy $R2 ""
  ${If} ${FileExists} "$R1\Add-Ons\*.*"
    StrCpy $R2 "$R1\Add-Ons"
    Return
  ${EndIf}
  Push $1
  Push $2
  Push $3
  Push $4
  FindFirst $1 $2 "$R1\*.*"
  ${DoWhile} $2 != ""
    ${If} $2 != "."
    ${AndIf} $2 != ".."
    ${AndIf} ${FileExists} "$R1\$2\*.*"
      FindFirst $3 $4 "$R1\$2\*.*"
      ${DoWhile} $4 != ""
        ${If} $4 != "."
        ${AndIf} $4 != ".."
        ${AndIf} ${FileExists} "$R1\$2\$4\*.apx"
          StrCpy $R2 "$R1\$2"
          ${Break}
        ${EndIf}
        FindNext $3 $4
      ${Loop}
      FindClose $3
    ${EndIf}
    ${If} $R2 != ""
      ${Break}
    ${EndIf}
    FindNext $1 $2
  ${Loop}
  FindClose $1
  Pop $4
  Pop $3
  Pop $2
  Pop $1
FunctionEnd

; Adds the installation of Archicad $R0 in folder $R1 to TARGETS, once, when it is a folder with an
; add-ons folder.
Function AddInstallation
  Push $1
  Push $2
  ; The same folder with or without its trailing backslashes.
  ${DoWhile} $R1 != ""
    StrCpy $1 $R1 "" -1
    ${If} $1 != "\"
      ${Break}
    ${EndIf}
    StrCpy $R1 $R1 -1
  ${Loop}
  ${If} $R1 == ""
  ${OrIfNot} ${FileExists} "$R1\*.*"
    Goto done
  ${EndIf}
  StrCpy $1 0
  ${DoWhile} $1 < $TargetCount
    ReadINIStr $2 "${TARGETS}" $1 home
    StrCmp $2 $R1 done  ; ignores case, as Windows' file names do
    IntOp $1 $1 + 1
  ${Loop}
  Call AddOnsFolder
  ${If} $R2 == ""
    DetailPrint "Archicad $R0 in $R1 has no add-ons folder: left alone."
    StrCpy $Found "$Found$\r$\n  (not Archicad $R0 in $R1: no add-ons folder)"
    Goto done
  ${EndIf}
  WriteINIStr "${TARGETS}" $TargetCount version $R0
  WriteINIStr "${TARGETS}" $TargetCount home $R1
  WriteINIStr "${TARGETS}" $TargetCount addons $R2
  IntOp $TargetCount $TargetCount + 1
  StrCpy $Found "$Found  Archicad $R0: $R2\${PRODUCT}$\r$\n"
done:
  Pop $2
  Pop $1
FunctionEnd

; Finds the installations of Archicad $R0: the Uninstall entries named "Archicad <N>" (any case, nothing
; more), then the keys of the users who started it, then the default folder. None of these is documented
; by the vendor; see installer/README.md.
Function FindInstallations
  Push $1
  Push $2
  Push $3
  Push $R1
  Push $R2
  StrCpy $1 0
  ${Do}
    EnumRegKey $2 HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall" $1
    ${If} $2 == ""
      ${Break}
    ${EndIf}
    ReadRegStr $3 HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\$2" DisplayName
    ${If} $3 == "Archicad $R0"
      ReadRegStr $R1 HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\$2" InstallLocation
      Call AddInstallation
    ${EndIf}
    IntOp $1 $1 + 1
  ${Loop}
  ; "ARCHICAD 28.0.0 INT R1" and the like; the default value is the program's path.
  StrCpy $1 0
  ${Do}
    EnumRegKey $2 HKCU "Software\GRAPHISOFT\ARCHICAD" $1
    ${If} $2 == ""
      ${Break}
    ${EndIf}
    StrLen $3 "ARCHICAD $R0.0.0 "
    StrCpy $3 $2 $3
    ${If} $3 == "ARCHICAD $R0.0.0 "
      ReadRegStr $3 HKCU "Software\GRAPHISOFT\ARCHICAD\$2" ""
      ${If} ${FileExists} $3
        ${GetParent} $3 $R1
        Call AddInstallation
      ${EndIf}
    ${EndIf}
    IntOp $1 $1 + 1
  ${Loop}
  StrCpy $R1 "$PROGRAMFILES64\GRAPHISOFT\Archicad $R0"
  ${If} ${FileExists} "$R1\Archicad.exe"
    Call AddInstallation
  ${EndIf}
  Pop $R2
  Pop $R1
  Pop $3
  Pop $2
  Pop $1
FunctionEnd

!macro FindVersion N MODULE
  StrCpy $R0 "${N}"
  Call FindInstallations
  ${If} $OwnId == ""
    File "/oname=$PLUGINSDIR\own.apx" "${MODULE}"
    StrCpy $R9 "$PLUGINSDIR\own.apx"
    Call AddOnId
    StrCpy $OwnId $0
  ${EndIf}
!macroend

Function .onInit
  SetRegView 64
  ; Archicad's folders and the machine's programs list need an administrator (where UAC is off, the
  ; manifest's request does not ensure one).
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "Admin"
    MessageBox MB_ICONSTOP "Installing ${PRODUCT} for every user needs administrator rights. Without them, \
      add KAVELO.apx through Archicad's Add-On Manager (see the zip package)." /SD IDOK
    SetErrorLevel ${EXIT_NOT_ADMIN}
    Quit
  ${EndIf}
  !insertmacro RefuseWhileArchicadRuns ""
  InitPluginsDir
  ; Begun in UTF-16: Windows writes a new INI file in the ANSI code page, where folder names beyond it
  ; would lose characters.
  FileOpen $0 "${TARGETS}" w
  FileWriteUTF16LE /BOM $0 ""
  FileClose $0
  StrCpy $TargetCount 0
  !insertmacro KaveloEachModule FindVersion
  ${If} $TargetCount = 0
    MessageBox MB_ICONSTOP "No Archicad was found that this installer has the ${PRODUCT} add-on for: nothing was \
      installed.$\r$\nAn Archicad that the installer does not find loads KAVELO.apx through its Add-On Manager \
      (see the ${PRODUCT} zip package)." /SD IDOK
    SetErrorLevel ${EXIT_NO_ARCHICAD}
    Quit
  ${EndIf}
FunctionEnd

; Writes a line to install.log and to the details.
!macro Note text
  DetailPrint "${text}"
  FileWriteUTF16LE $Log "${text}$\r$\n"
!macroend

; Puts the module of Archicad version N into every add-ons folder found for that version and records it.
!macro InstallVersion N MODULE
  StrCpy $R7 0
  ${DoWhile} $R7 < $TargetCount
    ReadINIStr $R0 "${TARGETS}" $R7 version
    ${If} $R0 == "${N}"
      ReadINIStr $R2 "${TARGETS}" $R7 addons
      ; Recorded before it is written, so that a failure leaves nothing unrecorded.
      IntOp $R4 $R5 + $R7
      WriteRegStr HKLM "${ENTRY}" "Module$R4" "$R2\${PRODUCT}\KAVELO.apx"
      SetOutPath "$R2\${PRODUCT}"
      File "/oname=KAVELO.apx" "${MODULE}"
      ${GetSize} "$R2\${PRODUCT}" "/M=KAVELO.apx /S=0K /G=0" $0 $1 $2
      IntOp $R8 $R8 + $0
      !insertmacro Note "Archicad ${N}: $R2\${PRODUCT}\KAVELO.apx"
    ${EndIf}
    IntOp $R7 $R7 + 1
  ${Loop}
!macroend

; Names a file in the add-ons tree other than ours that carries our add-on identifier: Archicad refuses
; both while it is there.
Function OnApx
  ${If} $R9 != "$AddOns\${PRODUCT}\KAVELO.apx"
    Call AddOnId
    ${If} $0 == $OwnId
      !insertmacro Note "Another copy of the ${PRODUCT} add-on, which keeps Archicad from loading either: $R9"
      MessageBox MB_ICONEXCLAMATION "Another copy of the ${PRODUCT} add-on is in Archicad's add-ons:$\r$\n$R9$\r$\n\
        Archicad loads neither while both are there: remove that file." /SD IDOK
    ${EndIf}
  ${EndIf}
  Push "go on"
FunctionEnd

; Whether $R9 is one of the module paths this install wrote ($0 = 1).
Function WrittenNow
  Push $1
  StrCpy $0 0
  StrCpy $1 0
  ${DoWhile} $1 < $TargetCount
    ReadINIStr $R2 "${TARGETS}" $1 addons
    ${If} $R9 == "$R2\${PRODUCT}\KAVELO.apx"
      StrCpy $0 1
    ${EndIf}
    IntOp $1 $1 + 1
  ${Loop}
  Pop $1
FunctionEnd

Section "KAVELO"
  SetRegView 64
  ; The uninstaller and its entry first: should a file fail below, what was written until then is
  ; recorded and the uninstaller takes it away.
  SetOutPath $INSTDIR
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  WriteRegStr HKLM "${ENTRY}" DisplayName "${DISPLAY_NAME}"
  WriteRegStr HKLM "${ENTRY}" DisplayVersion "${VERSION}"
  WriteRegStr HKLM "${ENTRY}" Publisher "${PRODUCT}"
  WriteRegStr HKLM "${ENTRY}" InstallLocation "$INSTDIR"
  WriteRegStr HKLM "${ENTRY}" UninstallString '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${ENTRY}" QuietUninstallString '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${ENTRY}" NoModify 1
  WriteRegDWORD HKLM "${ENTRY}" NoRepair 1

  ; What an earlier install recorded (values Module<n>), to take away what this one does not write again.
  ; Its records stay until this install has written its own, numbered after them.
  StrCpy $1 0
  StrCpy $R6 0
  StrCpy $R5 0
  ${Do}
    EnumRegValue $2 HKLM "${ENTRY}" $1
    ${If} $2 == ""
      ${Break}
    ${EndIf}
    StrCpy $3 $2 6
    ${If} $3 == "Module"
      ReadRegStr $3 HKLM "${ENTRY}" $2
      WriteINIStr "${TARGETS}" earlier "path$R6" $3
      WriteINIStr "${TARGETS}" earlier "name$R6" $2
      IntOp $R6 $R6 + 1
      StrCpy $3 $2 "" 6
      IntOp $3 $3 + 1
      ${If} $3 > $R5
        StrCpy $R5 $3
      ${EndIf}
    ${EndIf}
    IntOp $1 $1 + 1
  ${Loop}

  FileOpen $Log "$INSTDIR\install.log" w
  FileWriteUTF16LE /BOM $Log ""
  !insertmacro Note "${PRODUCT} ${VERSION}"
  StrCpy $R8 0
  !insertmacro KaveloEachModule InstallVersion

  StrCpy $1 0
  ${DoWhile} $1 < $R6
    ReadINIStr $R9 "${TARGETS}" earlier "path$1"
    Call WrittenNow
    ${If} $0 = 0
    ${AndIf} ${FileExists} $R9
      Delete $R9
      ${GetParent} $R9 $3
      RMDir $3
      !insertmacro Note "Removed the earlier install's $R9"
    ${EndIf}
    ReadINIStr $2 "${TARGETS}" earlier "name$1"
    DeleteRegValue HKLM "${ENTRY}" $2
    IntOp $1 $1 + 1
  ${Loop}
  WriteRegDWORD HKLM "${ENTRY}" EstimatedSize $R8

  StrCpy $R7 0
  ${DoWhile} $R7 < $TargetCount
    ReadINIStr $AddOns "${TARGETS}" $R7 addons
    ${Locate} $AddOns "/L=F /M=*.apx" OnApx
    IntOp $R7 $R7 + 1
  ${Loop}
  FileClose $Log
SectionEnd

Function un.onInit
  SetRegView 64
  !insertmacro RefuseWhileArchicadRuns "un."
FunctionEnd

Section "Uninstall"
  ; Exactly the files the install recorded, their KAVELO folders when that leaves them empty, itself.
  StrCpy $1 0
  ${Do}
    EnumRegValue $2 HKLM "${ENTRY}" $1
    ${If} $2 == ""
      ${Break}
    ${EndIf}
    IntOp $1 $1 + 1
    StrCpy $3 $2 6
    ${If} $3 == "Module"
      ReadRegStr $3 HKLM "${ENTRY}" $2
      Delete $3
      DetailPrint "Removed $3"
      ${GetParent} $3 $3
      RMDir $3
    ${EndIf}
  ${Loop}
  Delete "$INSTDIR\install.log"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir $INSTDIR
  DeleteRegKey HKLM "${ENTRY}"
SectionEnd
