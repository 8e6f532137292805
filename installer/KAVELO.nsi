; The KAVELO add-on's Windows installer: puts KAVELO.apx into the add-ons folder of every installed Archicad
; it carries a module for, records what it put, and writes the uninstaller that takes exactly that away.
; Built by scripts/package.sh:
;   makensis -DVERSION=1.2.3 -DOUTFILE=Setup.exe -DMODULES=modules.nsh -DHELPER_FILE=helper.exe
;            [-DSIGN=command] [-DTEST_BUILD] KAVELO.nsi
; MODULES defines the macro KaveloEachModule, which inserts its argument once per Archicad version with
; that version's module: !insertmacro ${ACTION} 28 "/path/to/KAVELO.apx". HELPER_FILE is the built
; kavelo-setup-helper.exe (installer/helper). SIGN, when given, is a command that signs the file named by
; its last argument in place; it runs on the installer and the uninstaller. TEST_BUILD marks a package of
; modules not for distribution in its title and its Add/Remove entry.
; Exit codes (the README lists them for silent installs): 0 done, 1 cancelled by the person, 2 a file could
; not be written or removed, or a record was refused, 3 Archicad is running, 4 no Archicad that this
; installer has a module for, 5 not run with administrator rights, 6 a path too long, 7 a path refused for a
; link on it; of several, the highest.
;
; It runs elevated, often as SYSTEM, so nothing an ordinary user controls may steer it:
; - no plug-in: NSIS extracts plug-ins into a temporary folder that another user can plant files in. What
;   NSIS has no instruction for (links on a path, a path's final form, a file's SHA-256, the add-on
;   identifier, the administrator check, the process list) is kavelo-setup-helper.exe, written into the
;   installer's own folder under Program Files (administrators only) and run from there; nothing is kept in
;   a temporary folder and read back; the helper also writes and deletes the module files, with every
;   folder on their path held open meanwhile, so that none can turn into a link between check and use;
; - no per-user registry key: only the machine's Uninstall entries and the default folder name Archicad;
; - a target path with a link on it is refused, at install and at uninstall;
; - a recorded module is deleted only when the record is a module path of this installer's form and the
;   file is still the one it installed (its SHA-256 is recorded beside it).
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
!define EXIT_FAILED 2
!define EXIT_RUNNING 3
!define EXIT_NO_ARCHICAD 4
!define EXIT_NOT_ADMIN 5
!define EXIT_TOO_LONG 6
!define EXIT_LINK 7
!define HELPER "$INSTDIR\kavelo-setup-helper.exe"
!define ANSWER "$INSTDIR\kavelo-setup-helper.txt"
; Each module on its way to its add-ons folder: the helper copies it from here.
!define STAGED "$INSTDIR\kavelo-module.apx"
; A module's path ends so; every record must.
!define MODULE_TAIL "\${PRODUCT}\KAVELO.apx"
!define MODULE_TAIL_LENGTH 18

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
  !finalize '${SIGN} "%1"' = 0
  !uninstfinalize '${SIGN} "%1"' = 0
!endif

Var Found        ; the installations found, one line each, for the first page
Var Targets      ; the modules to write: lines "<Archicad version>|<path in its long, final form>"
Var Refused      ; 0, or the exit code of the gravest cause a target was refused for (Fail)
Var Failed       ; 0, or the exit code of the gravest failure so far (Fail)
Var MadeInstDir  ; 1 when this run made the installer's folder (taken away again when it stops early)
Var OwnId        ; our module's add-on identifier, in hex
Var Log          ; handle of install.log while the installer writes it ("" otherwise)
Var List         ; the list NextItem takes lines from
Var Item         ; the line NextItem took
Var HStatus      ; the helper's exit code
Var HFinal       ; inspect: the path's long, final form (the link on it, with status 1)
Var HSha         ; inspect: the file's SHA-256
Var HId          ; inspect: the file's add-on identifier
Var Removal      ; RemoveRecorded: gone, kept or foreign

; The first page is the components page (one fixed part): the pages with pictures (welcome, finish) need
; a plug-in.
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_COMPONENTSPAGE_TEXT_TOP "This puts the ${PRODUCT} add-on into the Add-Ons folder of each Archicad \
  found on this computer:$\r$\n$Found$\r$\nArchicad loads it the next time it starts."
!define MUI_FINISHPAGE_NOAUTOCLOSE
!define MUI_UNFINISHPAGE_NOAUTOCLOSE
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Writes a line to the details and, while the installer writes it, to install.log.
!macro Note text
  DetailPrint "${text}"
  ${If} $Log != ""
    FileWriteUTF16LE $Log "${text}$\r$\n"
  ${EndIf}
!macroend

; Keeps in var the exit code of the gravest failure so far: the highest.
!macro Fail var code
  ${If} ${code} > ${var}
    StrCpy ${var} ${code}
  ${EndIf}
!macroend

; Drops the line end from a line read from a file.
!macro TrimLine var
  ${DoWhile} ${var} != ""
    StrCpy $9 ${var} "" -1
    ${If} $9 != "$\r"
    ${AndIf} $9 != "$\n"
      ${Break}
    ${EndIf}
    StrCpy ${var} ${var} -1
  ${Loop}
!macroend

!macro SharedFunctions un
; Takes the first line off $List into $Item ("" when $List is empty).
Function ${un}NextItem
  Push $8
  Push $9
  StrCpy $8 0
  ${Do}
    StrCpy $9 $List 1 $8
    ${If} $9 == ""
    ${OrIf} $9 == "$\n"
      ${Break}
    ${EndIf}
    IntOp $8 $8 + 1
  ${Loop}
  StrCpy $Item $List $8
  IntOp $8 $8 + 1
  StrCpy $List $List "" $8
  Pop $9
  Pop $8
FunctionEnd

; Splits $Item "<first>|<rest>" into $R3 (first) and $R4 (rest).
Function ${un}SplitItem
  Push $8
  Push $9
  StrCpy $8 0
  ${Do}
    StrCpy $9 $Item 1 $8
    ${If} $9 == ""
    ${OrIf} $9 == "|"
      ${Break}
    ${EndIf}
    IntOp $8 $8 + 1
  ${Loop}
  StrCpy $R3 $Item $8
  IntOp $8 $8 + 1
  StrCpy $R4 $Item "" $8
  Pop $9
  Pop $8
FunctionEnd

; Runs the helper (its arguments in $R9) and reads its answer into $HFinal, $HSha and $HId.
Function ${un}AskHelper
  StrCpy $HFinal ""
  StrCpy $HSha ""
  StrCpy $HId ""
  Delete "${ANSWER}"
  ClearErrors
  ExecWait '"${HELPER}" $R9' $HStatus
  ${If} ${Errors}
    StrCpy $HStatus 9
  ${EndIf}
  ClearErrors
  FileOpen $8 "${ANSWER}" r
  ${IfNot} ${Errors}
    FileReadUTF16LE $8 $HFinal
    FileReadUTF16LE $8 $HSha
    FileReadUTF16LE $8 $HId
    FileClose $8
  ${EndIf}
  !insertmacro TrimLine $HFinal
  !insertmacro TrimLine $HSha
  !insertmacro TrimLine $HId
  Delete "${ANSWER}"
FunctionEnd

; What path $R9 really names ($HStatus 0: $HFinal its long, final form, $HSha and $HId when it is a file;
; 1: a link lies on it, at $HFinal; 2: no full drive path, or wildcards, "." or ".." in it).
Function ${un}InspectPath
  Push $R9
  StrCpy $R9 'inspect "${ANSWER}" "$R9"'
  Call ${un}AskHelper
  Pop $R9
FunctionEnd

; Takes away the recorded module $R9 (record number $R8), when the record has the form of a module path
; this installer writes, no link lies on it and the file is still the one installed (the SHA-256 recorded
; beside it; an older record without one: a file with our add-on identifier). $Removal: gone (the file is
; not there any more), kept (it is there and must stay on record: $Failed is set) or foreign (it is not
; ours to take; the record can go).
Function ${un}RemoveRecorded
  StrCpy $Removal kept
  StrCpy $0 $R9 "" -${MODULE_TAIL_LENGTH}
  StrLen $1 $R9
  ${If} $0 != "${MODULE_TAIL}"
  ${OrIf} $1 <= ${MODULE_TAIL_LENGTH}
    !insertmacro Note "Refused the record $R9: not a module path this installer writes."
    !insertmacro Fail $Failed ${EXIT_FAILED}
    Return
  ${EndIf}
  Call ${un}InspectPath
  ${If} $HStatus = 1
    !insertmacro Note "Left $R9: $HFinal on its path is a link."
    !insertmacro Fail $Failed ${EXIT_LINK}
    Return
  ${ElseIf} $HStatus = 6
    !insertmacro Note "Left $R9: its path is too long."
    !insertmacro Fail $Failed ${EXIT_TOO_LONG}
    Return
  ${ElseIf} $HStatus <> 0
    !insertmacro Note "Refused the record $R9: not a module path this installer writes."
    !insertmacro Fail $Failed ${EXIT_FAILED}
    Return
  ${EndIf}
  ${IfNot} ${FileExists} $HFinal
    StrCpy $Removal gone
    Return
  ${EndIf}
  ReadRegStr $0 HKLM "${ENTRY}" "Module$R8.sha256"
  ${If} $0 == ""
  ${AndIf} $HId != ""
  ${AndIf} $HId == $OwnId
    StrCpy $0 $HSha
  ${EndIf}
  ${If} $HSha == ""
  ${OrIf} $0 != $HSha
    !insertmacro Note "Left $R9: it is not the file this installer put there."
    StrCpy $Removal foreign
    Return
  ${EndIf}
  ; The helper deletes it with its folders held, only when it is still that file (read-only or not), checks
  ; it is gone and removes its KAVELO folder when that is then empty, before it lets the folders go.
  ExecWait '"${HELPER}" remove "$HFinal" "$0"' $1
  ${If} $1 = 3
    !insertmacro Note "Left $R9: it is not the file this installer put there."
    StrCpy $Removal foreign
    Return
  ${ElseIf} $1 = 1
    !insertmacro Note "Left $R9: a link on its path."
    !insertmacro Fail $Failed ${EXIT_LINK}
    Return
  ${ElseIf} $1 = 6
    !insertmacro Note "Left $R9: its path is too long."
    !insertmacro Fail $Failed ${EXIT_TOO_LONG}
    Return
  ${ElseIf} $1 = 4
    !insertmacro Note "Could not remove $R9 (a program has it open): it stays on record."
    !insertmacro Fail $Failed ${EXIT_FAILED}
    Return
  ${ElseIf} $1 <> 0
    !insertmacro Note "Could not remove $R9 (code $1): it stays on record."
    !insertmacro Fail $Failed ${EXIT_FAILED}
    Return
  ${EndIf}
  !insertmacro Note "Removed $R9"
  StrCpy $Removal gone
FunctionEnd

; The records (values Module<n>) as lines "<n>|<path>" in $List.
Function ${un}ReadRecords
  StrCpy $List ""
  StrCpy $1 0
  ${Do}
    EnumRegValue $2 HKLM "${ENTRY}" $1
    ${If} $2 == ""
      ${Break}
    ${EndIf}
    IntOp $1 $1 + 1
    StrCpy $3 $2 6
    StrCpy $4 $2 "" 6
    IntOp $5 $4 + 0
    ${If} $3 == "Module"
    ${AndIf} "$5" == "$4"
      ReadRegStr $3 HKLM "${ENTRY}" $2
      StrCpy $List "$List$4|$3$\n"
    ${EndIf}
  ${Loop}
FunctionEnd

; Writes the helper into the installer's folder, which only administrators can write (someone who cannot
; write it there is no administrator), and asks it whether this may go on: quits with exit code 5 (not an
; administrator) or 3 (Archicad is running), having written nothing.
Function ${un}StartHelper
  StrCpy $MadeInstDir 0
  ${IfNot} ${FileExists} "$INSTDIR\*.*"
    StrCpy $MadeInstDir 1
  ${EndIf}
  ClearErrors
  CreateDirectory $INSTDIR
  FileOpen $0 "${HELPER}" w
  ${If} ${Errors}
    StrCpy $0 ${EXIT_NOT_ADMIN}
  ${Else}
    FileClose $0
    File "/oname=${HELPER}" "${HELPER_FILE}"
    ExecWait '"${HELPER}" state' $0
  ${EndIf}
  ${If} $0 = 0
    Return
  ${EndIf}
  Call ${un}StopHelper
  ${If} $0 = ${EXIT_NOT_ADMIN}
    MessageBox MB_ICONSTOP "Installing or removing ${PRODUCT} for every user needs administrator rights. Without \
      them, add KAVELO.apx through Archicad's Add-On Manager (see the zip package)." /SD IDOK
  ${ElseIf} $0 = ${EXIT_RUNNING}
    MessageBox MB_ICONSTOP "Archicad is running. Quit every Archicad, then run this again." /SD IDOK
  ${Else}
    MessageBox MB_ICONSTOP "The check before installing failed (code $0)." /SD IDOK
    StrCpy $0 ${EXIT_FAILED}
  ${EndIf}
  SetErrorLevel $0
  Quit
FunctionEnd

; Takes the helper away again, and the installer's folder when this run made it and it is empty.
Function ${un}StopHelper
  Delete "${ANSWER}"
  Delete "${HELPER}"
  ${If} $MadeInstDir = 1
    RMDir $INSTDIR
  ${EndIf}
FunctionEnd
!macroend
!insertmacro SharedFunctions ""
!insertmacro SharedFunctions "un."

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

; Whether $R9 (a long, final path) is one of the modules in $Targets ($0 = 1).
Function IsTarget
  StrCpy $0 0
  StrCpy $List $Targets
  ${Do}
    Call NextItem
    ${If} $Item == ""
      ${Break}
    ${EndIf}
    Call SplitItem
    ${If} $R4 == $R9  ; ignores case, as Windows' file names do
      StrCpy $0 1
      ${Break}
    ${EndIf}
  ${Loop}
FunctionEnd

; Adds the installation of Archicad $R0 in folder $R1 to $Targets, once, when it is a folder with an
; add-ons folder and no link lies on the module's path.
Function AddInstallation
  Push $0
  Push $1
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
  Call AddOnsFolder
  ${If} $R2 == ""
    DetailPrint "Archicad $R0 in $R1 has no add-ons folder: left alone."
    StrCpy $Found "$Found$\r$\n  (not Archicad $R0 in $R1: no add-ons folder)"
    Goto done
  ${EndIf}
  Push $R9
  StrCpy $R9 "$R2${MODULE_TAIL}"
  Call InspectPath
  ${If} $HStatus = 1
    !insertmacro Fail $Refused ${EXIT_LINK}
    StrCpy $Found "$Found  (not Archicad $R0 in $R1: $HFinal is a link)$\r$\n"
  ${ElseIf} $HStatus = 6
    !insertmacro Fail $Refused ${EXIT_TOO_LONG}
    StrCpy $Found "$Found  (not Archicad $R0 in $R1: the path of its add-on would be too long)$\r$\n"
  ${ElseIf} $HStatus <> 0
    !insertmacro Fail $Refused ${EXIT_FAILED}
    StrCpy $Found "$Found  (not Archicad $R0 in $R1: no full local path)$\r$\n"
  ${Else}
    StrCpy $R9 $HFinal
    Call IsTarget
    StrLen $1 "$Targets$R0|$R9"
    ${If} $0 = 0
    ${AndIf} $1 < 1000
      StrCpy $Targets "$Targets$R0|$R9$\n"
      StrCpy $Found "$Found  Archicad $R0: $R9$\r$\n"
    ${ElseIf} $0 = 0
      ; NSIS's strings hold 1024 characters.
      !insertmacro Fail $Refused ${EXIT_FAILED}
      StrCpy $Found "$Found  (not Archicad $R0 in $R1: too many installations for one run)$\r$\n"
    ${EndIf}
  ${EndIf}
  Pop $R9
done:
  Pop $1
  Pop $0
FunctionEnd

; Finds the installations of Archicad $R0: the machine's Uninstall entries named "Archicad <N>" (any case,
; nothing more), then the default folder. None of these is documented by the vendor; see
; installer/README.md. The per-user keys that Archicad writes are not read: any program the user runs can
; write them, and this installer runs elevated.
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
!macroend

Function .onInit
  SetRegView 64
  StrCpy $Log ""
  StrCpy $Failed 0
  StrCpy $Refused 0
  StrCpy $Targets ""
  Call StartHelper
  !insertmacro KaveloEachModule FindVersion
  ${If} $Targets == ""
    Call StopHelper
    ${If} $Refused <> 0
      MessageBox MB_ICONSTOP "No Archicad was found that the ${PRODUCT} add-on can be installed into safely: nothing \
        was installed.$\r$\n$Found" /SD IDOK
      SetErrorLevel $Refused
    ${Else}
      MessageBox MB_ICONSTOP "No Archicad was found that this installer has the ${PRODUCT} add-on for: nothing \
        was installed.$\r$\nAn Archicad that the installer does not find loads KAVELO.apx through its Add-On \
        Manager (see the ${PRODUCT} zip package)." /SD IDOK
      SetErrorLevel ${EXIT_NO_ARCHICAD}
    ${EndIf}
    Quit
  ${EndIf}
FunctionEnd

; The SHA-256 an earlier install recorded for the module path $R9 ($0; "" when there is none).
Function RecordedSha
  Push $1
  Push $2
  Push $3
  StrCpy $0 ""
  StrCpy $1 0
  ${Do}
    EnumRegValue $2 HKLM "${ENTRY}" $1
    ${If} $2 == ""
      ${Break}
    ${EndIf}
    IntOp $1 $1 + 1
    ReadRegStr $3 HKLM "${ENTRY}" $2
    ${If} $3 == $R9  ; ignores case, as Windows' file names do
      ReadRegStr $0 HKLM "${ENTRY}" "$2.sha256"
      ; This install's own record of the path, made before the write, has none yet.
      ${If} $0 != ""
        ${Break}
      ${EndIf}
    ${EndIf}
  ${Loop}
  Pop $3
  Pop $2
  Pop $1
FunctionEnd

; Puts the module of Archicad version N into every add-ons folder found for that version and records it
; (numbers from $R5 on) with its SHA-256. $R7 sums the sizes in KB.
!macro InstallVersion N MODULE
  StrCpy $List $Targets
  ${Do}
    Call NextItem
    ${If} $Item == ""
      ${Break}
    ${EndIf}
    Call SplitItem
    ${If} $R3 == "${N}"
      StrCpy $R9 $R4
      ; Recorded before it is written, so that a failure leaves nothing unrecorded.
      WriteRegStr HKLM "${ENTRY}" "Module$R5" $R9
      ; Written by the helper, with the folders on its path held so that none turns into a link meanwhile;
      ; a read-only module there goes only when it is the one recorded for that path.
      Call RecordedSha
      File "/oname=${STAGED}" "${MODULE}"
      ExecWait '"${HELPER}" place "${STAGED}" "$R9" "$0"' $0
      Delete "${STAGED}"
      ${If} $0 <> 0
        ${If} $0 = 1
          !insertmacro Note "Archicad ${N}: $R9 was not written: a link on its path."
          StrCpy $0 ${EXIT_LINK}
        ${ElseIf} $0 = 6
          !insertmacro Note "Archicad ${N}: $R9 was not written: its path is too long."
          StrCpy $0 ${EXIT_TOO_LONG}
        ${ElseIf} $0 = 3
          !insertmacro Note "Archicad ${N}: $R9 was not written: a read-only file is there that this installer did not put there."
          StrCpy $0 ${EXIT_FAILED}
        ${ElseIf} $0 = 4
          !insertmacro Note "Archicad ${N}: $R9 could not be written: a program has it open."
          StrCpy $0 ${EXIT_FAILED}
        ${Else}
          !insertmacro Note "Archicad ${N}: $R9 could not be written (code $0)."
          StrCpy $0 ${EXIT_FAILED}
        ${EndIf}
        !insertmacro Fail $Failed $0
        !insertmacro Fail $Failed $Refused
        SetErrorLevel $Failed
        FileClose $Log
        StrCpy $Log ""
        Abort
      ${EndIf}
      Call InspectPath
      ; Checked again as written: a link made meanwhile would have taken the file elsewhere.
      ${If} $HStatus <> 0
      ${OrIf} $HFinal != $R9
        !insertmacro Note "Archicad ${N}: $R9 was not written where intended (a link on its path?)."
        !insertmacro Fail $Failed ${EXIT_LINK}
      ${Else}
        WriteRegStr HKLM "${ENTRY}" "Module$R5.sha256" $HSha
        StrCpy $OwnId $HId
        FileOpen $0 $R9 r
        FileSeek $0 0 END $1
        FileClose $0
        IntOp $1 $1 + 1023
        IntOp $1 $1 / 1024
        IntOp $R7 $R7 + $1
        !insertmacro Note "Archicad ${N}: $R9"
      ${EndIf}
      IntOp $R5 $R5 + 1
    ${EndIf}
  ${Loop}
!macroend

Section "KAVELO"
  SectionIn RO
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

  ; What an earlier install recorded, to take away what this one does not write again. Its records stay
  ; until this install has written its own, numbered after them.
  Call ReadRecords
  Push $List
  StrCpy $R5 0
  ${Do}
    Call NextItem
    ${If} $Item == ""
      ${Break}
    ${EndIf}
    Call SplitItem
    IntOp $R3 $R3 + 1
    ${If} $R3 > $R5
      StrCpy $R5 $R3
    ${EndIf}
  ${Loop}

  FileOpen $Log "$INSTDIR\install.log" w
  FileWriteUTF16LE /BOM $Log ""
  !insertmacro Note "${PRODUCT} ${VERSION}"
  StrCpy $R7 0
  !insertmacro KaveloEachModule InstallVersion

  Pop $List
  ${Do}
    Call NextItem
    ${If} $Item == ""
      ${Break}
    ${EndIf}
    Push $List
    Call SplitItem
    StrCpy $R8 $R3
    StrCpy $R6 $R4
    StrCpy $R9 $R6
    ; The same file in another spelling (short names, case) is one this install wrote.
    Call InspectPath
    StrCpy $0 0
    ${If} $HStatus = 0
      StrCpy $R9 $HFinal
      Call IsTarget
      StrCpy $R9 $R6
    ${EndIf}
    ${If} $0 = 1
      StrCpy $Removal gone
    ${Else}
      Call RemoveRecorded
    ${EndIf}
    ${If} $Removal != kept
      DeleteRegValue HKLM "${ENTRY}" "Module$R8"
      DeleteRegValue HKLM "${ENTRY}" "Module$R8.sha256"
    ${EndIf}
    Pop $List
  ${Loop}
  WriteRegDWORD HKLM "${ENTRY}" EstimatedSize $R7

  ; Other files with our add-on identifier in the add-ons trees: Archicad refuses both while they are there.
  ; They are named, not removed: they were not ours to take.
  StrCpy $List $Targets
  ${Do}
    Call NextItem
    ${If} $Item == ""
      ${Break}
    ${EndIf}
    Call SplitItem
    StrCpy $0 $R4 -${MODULE_TAIL_LENGTH}
    StrCpy $R9 'copies "${ANSWER}" "$0" "$R4" "$OwnId"'
    Delete "${ANSWER}"
    ExecWait '"${HELPER}" $R9'
    ClearErrors
    FileOpen $1 "${ANSWER}" r
    ${IfNot} ${Errors}
      ${Do}
        FileReadUTF16LE $1 $2
        ${If} $2 == ""
          ${Break}
        ${EndIf}
        !insertmacro TrimLine $2
        !insertmacro Note "Another copy of the ${PRODUCT} add-on, which keeps Archicad from loading either: $2"
        MessageBox MB_ICONEXCLAMATION "Another copy of the ${PRODUCT} add-on is in Archicad's add-ons:$\r$\n$2$\r$\n\
          Archicad loads neither while both are there: remove that file." /SD IDOK
      ${Loop}
      FileClose $1
    ${EndIf}
    Delete "${ANSWER}"
  ${Loop}

  ${If} $Refused <> 0
    !insertmacro Note "Left alone, for the reason named:$\r$\n$Found"
    !insertmacro Fail $Failed $Refused
  ${EndIf}
  FileClose $Log
  StrCpy $Log ""
  ${If} $Failed <> 0
    SetErrorLevel $Failed
  ${EndIf}
SectionEnd

Function un.onInit
  SetRegView 64
  StrCpy $Log ""
  StrCpy $Failed 0
  StrCpy $OwnId ""
  Call un.StartHelper
FunctionEnd

Section "Uninstall"
  ; Exactly the files the install recorded and that are still the ones it put there, their KAVELO folders
  ; when that leaves them empty, itself. A file that cannot be removed keeps its record and the entry.
  Call un.ReadRecords
  ${Do}
    Call un.NextItem
    ${If} $Item == ""
      ${Break}
    ${EndIf}
    Push $List
    Call un.SplitItem
    StrCpy $R8 $R3
    StrCpy $R9 $R4
    Call un.RemoveRecorded
    ${If} $Removal != kept
      DeleteRegValue HKLM "${ENTRY}" "Module$R8"
      DeleteRegValue HKLM "${ENTRY}" "Module$R8.sha256"
    ${EndIf}
    Pop $List
  ${Loop}
  Delete "${HELPER}"
  ${If} $Failed <> 0
    DetailPrint "What stays on record is removed when this runs again."
    SetErrorLevel $Failed
    Return
  ${EndIf}
  Delete "$INSTDIR\install.log"
  Delete "${STAGED}"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir $INSTDIR
  DeleteRegKey HKLM "${ENTRY}"
SectionEnd
