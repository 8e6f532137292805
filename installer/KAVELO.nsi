; The KAVELO add-on's Windows installer: puts KAVELO.apx into the add-ons folder of every installed Archicad
; it carries a module for, records what it put, and writes the uninstaller that takes exactly that away.
; Built by scripts/package.sh:
;   makensis -DVERSION=1.2.3 -DOUTFILE=Setup.exe -DMODULES=modules.nsh -DHELPER_FILE=helper.exe
;            [-DSIGN=command] [-DTEST_BUILD] [-DUNSIGNED] KAVELO.nsi
; MODULES (written from Modules.nsh.in) defines the macro KaveloEachModule, which inserts its argument once
; per Archicad version with that version's module: !insertmacro ${ACTION} 28 "/path/to/KAVELO.apx".
; HELPER_FILE is the built kavelo-setup-helper.exe (installer/helper). SIGN, when given, is a command that
; signs the file named by its last argument in place; it runs on the installer and the uninstaller.
; TEST_BUILD marks a package of modules not for distribution in its title and its Add/Remove entry,
; UNSIGNED one whose files are not signed.
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
; What a person sees: what KAVELO is, a choice per Archicad version found, a progress bar whose details
; (hidden until asked for) say per Archicad where KAVELO went and never how, and what to do next. Built-in
; pages only: the welcome and finish pages of the Modern UI are plug-in pages, so both are text pages
; (license pages whose text is set when they show).
Target amd64-unicode
RequestExecutionLevel admin
ManifestSupportedOS all
SetCompressor /SOLID lzma
AllowSkipFiles off

!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh
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

!ifdef TEST_BUILD & UNSIGNED
  !define NOTE " (test build, not for distribution; unsigned)"
  !define ZIP "${PRODUCT}-${VERSION}-TEST-UNSIGNED.zip"
!else ifdef TEST_BUILD
  !define NOTE " (test build, not for distribution)"
  !define ZIP "${PRODUCT}-${VERSION}-TEST.zip"
!else ifdef UNSIGNED
  !define NOTE " (unsigned)"
  !define ZIP "${PRODUCT}-${VERSION}-UNSIGNED.zip"
!else
  !define NOTE ""
  !define ZIP "${PRODUCT}-${VERSION}.zip"
!endif
!ifdef TEST_BUILD
  !define EDITION "A test build, not for distribution."
!else
  !define EDITION "For Archicad on Windows, 64-bit."
!endif
!define DISPLAY_NAME "${PRODUCT}${NOTE}"
Name "${PRODUCT} ${VERSION}${NOTE}"
; The Archicad versions this package has a module for, as "27, 28 and 29".
!macro NameVersion N MODULE
  !ifdef VERSIONS_LAST
    !ifdef VERSIONS_HEAD
      !define /redef VERSIONS_HEAD "${VERSIONS_HEAD}, ${VERSIONS_LAST}"
    !else
      !define VERSIONS_HEAD "${VERSIONS_LAST}"
    !endif
  !endif
  !define /redef VERSIONS_LAST "${N}"
!macroend
!insertmacro KaveloEachModule NameVersion
!ifdef VERSIONS_HEAD
  !define VERSIONS "${VERSIONS_HEAD} and ${VERSIONS_LAST}"
!else
  !define VERSIONS "${VERSIONS_LAST}"
!endif
; Where a person without an installer that serves their Archicad finds KAVELO.
!define BY_HAND "Without Setup, add KAVELO to Archicad yourself: unpack ${ZIP}, start Archicad, choose Options > \
  Add-On Manager and add the KAVELO.apx from the folder named after your Archicad version."
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
BrandingText "${PRODUCT} ${VERSION}"
; The details list a person opens with "Show details" holds the lines Note prints, nothing of the installer's
; own workings: every section runs under SetDetailsPrint none.
ShowInstDetails hide
ShowUninstDetails hide
SpaceTexts none
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

Var Found        ; what the uninstaller removes, one line each, for its first page
Var Others       ; the Archicad installations left alone, and why, joined by "; "
Var OtherVersions ; the Archicad versions found that this package has no module for: lines "<version>"
Var Folders      ; the installations found: lines "<Archicad version>|<installation folder>"
Var Targets      ; the modules to write: lines "<Archicad version>|<path in its long, final form>"
Var Installed    ; the Archicad versions written, as "Archicad 27, Archicad 28"
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
Var Outcome      ; the last progress page's heading, and the line under it
Var OutcomeDetail

; KAVELO's own face, beside this script (makensis works in its folder): its icon and the header bitmap,
; which resources/icons/render.sh makes from the module's icon sources. The Modern UI would unpack the
; bitmap into a temporary folder; HeaderImage loads it instead.
!define MUI_ICON "KAVELO-Setup.ico"
!define MUI_UNICON "KAVELO-Setup.ico"
!define MUI_CUSTOMFUNCTION_GUIINIT HeaderImage
!define MUI_CUSTOMFUNCTION_UNGUIINIT un.HeaderImage
!define MUI_CUSTOMFUNCTION_ABORT Cancelled
!define MUI_CUSTOMFUNCTION_UNABORT un.Cancelled
; A license page's text box must be given a file; TextPage puts the page's own text there as it shows.
!tempfile BLANK
!appendfile "${BLANK}" " "

; 1. What this is.
!define MUI_PAGE_HEADER_TEXT "${PRODUCT} ${VERSION} for Archicad"
!define MUI_PAGE_HEADER_SUBTEXT "${EDITION}"
!define MUI_LICENSEPAGE_TEXT_TOP "Welcome to ${PRODUCT} Setup."
!define MUI_LICENSEPAGE_TEXT_BOTTOM "Click Next to choose the Archicad versions to add ${PRODUCT} to."
!define MUI_LICENSEPAGE_BUTTON "$(^NextBtn)"
!define MUI_PAGE_CUSTOMFUNCTION_SHOW AboutPage
!insertmacro MUI_PAGE_LICENSE "${BLANK}"
; 2. One choice per Archicad version found.
!define MUI_PAGE_HEADER_TEXT "Choose Archicad"
!define MUI_PAGE_HEADER_SUBTEXT "Choose the Archicad versions to add ${PRODUCT} to."
!define MUI_COMPONENTSPAGE_TEXT_TOP "${PRODUCT} goes into the Add-Ons folder of each Archicad ticked below. Archicad \
  loads it the next time it starts."
!define MUI_COMPONENTSPAGE_TEXT_COMPLIST "Archicad found on this computer:"
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE ChoiceMade
!insertmacro MUI_PAGE_COMPONENTS
; 3. Progress.
!define MUI_PAGE_HEADER_TEXT "Installing ${PRODUCT}"
!define MUI_PAGE_HEADER_SUBTEXT "Adding ${PRODUCT} to the Archicad versions chosen."
!define MUI_INSTFILESPAGE_FINISHHEADER_TEXT "$Outcome"
!define MUI_INSTFILESPAGE_FINISHHEADER_SUBTEXT "$OutcomeDetail"
!define MUI_INSTFILESPAGE_ABORTHEADER_TEXT "${PRODUCT} was not installed completely"
!define MUI_INSTFILESPAGE_ABORTHEADER_SUBTEXT "The details say what stopped it. Apps & features removes what was written."
!define MUI_FINISHPAGE_NOAUTOCLOSE
!insertmacro MUI_PAGE_INSTFILES
; 4. What to do next (not shown after a failure, nor in a silent install).
!define MUI_PAGE_HEADER_TEXT "${PRODUCT} is ready"
!define MUI_PAGE_HEADER_SUBTEXT "What to do next"
!define MUI_LICENSEPAGE_TEXT_TOP "${PRODUCT} is installed for $Installed."
!define MUI_LICENSEPAGE_TEXT_BOTTOM "Click Finish to close Setup."
!define MUI_LICENSEPAGE_BUTTON "&Finish"
!define MUI_PAGE_CUSTOMFUNCTION_PRE NextStepsWanted
!define MUI_PAGE_CUSTOMFUNCTION_SHOW NextStepsPage
!insertmacro MUI_PAGE_LICENSE "${BLANK}"

; The uninstaller: what it removes, then progress.
!define MUI_PAGE_HEADER_TEXT "Remove ${PRODUCT}"
!define MUI_PAGE_HEADER_SUBTEXT "Remove the ${PRODUCT} add-on from Archicad."
!define MUI_LICENSEPAGE_TEXT_TOP "${PRODUCT} is removed from:"
!define MUI_LICENSEPAGE_TEXT_BOTTOM "Quit Archicad first. Click Uninstall to remove ${PRODUCT}."
!define MUI_LICENSEPAGE_BUTTON "$(^UninstallBtn)"
!define MUI_PAGE_CUSTOMFUNCTION_SHOW un.RemovalPage
!insertmacro MUI_UNPAGE_LICENSE "${BLANK}"
!define MUI_PAGE_HEADER_TEXT "Removing ${PRODUCT}"
!define MUI_PAGE_HEADER_SUBTEXT "Removing ${PRODUCT} from Archicad."
!define MUI_INSTFILESPAGE_FINISHHEADER_TEXT "$Outcome"
!define MUI_INSTFILESPAGE_FINISHHEADER_SUBTEXT "$OutcomeDetail"
!define MUI_UNFINISHPAGE_NOAUTOCLOSE
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"
!delfile "${BLANK}"
; The Modern UI's window with room for the header bitmap.
ChangeUI IDD_INST "${NSISDIR}\Contrib\UIs\modern_headerbmp.exe"

; Writes a line to the details and, while the installer writes it, to install.log. Everything else in the
; sections runs under SetDetailsPrint none.
!macro Note text
  SetDetailsPrint both
  DetailPrint "${text}"
  SetDetailsPrint none
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
  ${GetParent} $HFinal $0
  ReadRegStr $1 HKLM "${ENTRY}" "Module$R8.archicad"
  ${If} $1 == ""
    !insertmacro Note "${PRODUCT} removed from $0"
  ${Else}
    !insertmacro Note "Archicad $1: ${PRODUCT} removed from $0"
  ${EndIf}
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
  !if "${un}" == ""
    ${If} $0 = ${EXIT_NOT_ADMIN}
      MessageBox MB_ICONSTOP "Installing ${PRODUCT} for every user of this computer needs an administrator: ask one \
        to run ${PRODUCT} Setup. Nothing was changed.$\r$\n$\r$\n${BY_HAND}" /SD IDOK
    ${ElseIf} $0 = ${EXIT_RUNNING}
      MessageBox MB_ICONSTOP "Archicad is running. Quit Archicad, then run ${PRODUCT} Setup again: Archicad takes \
        up a new add-on when it starts. Nothing was changed." /SD IDOK
    ${EndIf}
  !else
    ${If} $0 = ${EXIT_NOT_ADMIN}
      MessageBox MB_ICONSTOP "Removing ${PRODUCT} needs an administrator of this computer: ask one to remove it. \
        Nothing was changed." /SD IDOK
    ${ElseIf} $0 = ${EXIT_RUNNING}
      MessageBox MB_ICONSTOP "Archicad is running. Quit Archicad, then remove ${PRODUCT} again: Archicad keeps \
        its add-ons open while it runs. Nothing was changed." /SD IDOK
    ${EndIf}
  !endif
  ${If} $0 <> ${EXIT_NOT_ADMIN}
  ${AndIf} $0 <> ${EXIT_RUNNING}
    MessageBox MB_ICONSTOP "Setup could not check this computer (code $0). Nothing was changed." /SD IDOK
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

; Shows KAVELO's header bitmap. Written into the installer's own folder (administrators only, made by
; StartHelper), loaded, and taken away again: the Modern UI would unpack it into a temporary folder.
Function ${un}HeaderImage
  File "/oname=$INSTDIR\kavelo-header.bmp" "KAVELO-header.bmp"
  SetBrandingImage /IMGID=1046 /RESIZETOFIT "$INSTDIR\kavelo-header.bmp"
  Delete "$INSTDIR\kavelo-header.bmp"
FunctionEnd

; Puts the text on the stack into the text box of the text page that is showing.
Function ${un}TextPage
  Exch $0
  Push $1
  FindWindow $1 "#32770" "" $HWNDPARENT
  GetDlgItem $1 $1 1000
  SendMessage $1 ${WM_SETTEXT} 0 "STR:$0"
  Pop $1
  Pop $0
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
    Push "Archicad $R0 in $R1: it has no Add-Ons folder"
    Call AddOther
    Goto done
  ${EndIf}
  Push $R9
  StrCpy $R9 "$R2${MODULE_TAIL}"
  Call InspectPath
  ${If} $HStatus = 1
    !insertmacro Fail $Refused ${EXIT_LINK}
    Push "Archicad $R0 in $R1: $HFinal is a link"
    Call AddOther
  ${ElseIf} $HStatus = 6
    !insertmacro Fail $Refused ${EXIT_TOO_LONG}
    Push "Archicad $R0 in $R1: the path of its add-on would be too long"
    Call AddOther
  ${ElseIf} $HStatus <> 0
    !insertmacro Fail $Refused ${EXIT_FAILED}
    Push "Archicad $R0 in $R1: no full local path"
    Call AddOther
  ${Else}
    StrCpy $R9 $HFinal
    Call IsTarget
    StrLen $1 "$Targets$R0|$R9"
    ${If} $0 = 0
    ${AndIf} $1 < 1000
      StrCpy $Targets "$Targets$R0|$R9$\n"
      StrCpy $Folders "$Folders$R0|$R1$\n"
    ${ElseIf} $0 = 0
      ; NSIS's strings hold 1024 characters.
      !insertmacro Fail $Refused ${EXIT_FAILED}
      Push "Archicad $R0 in $R1: too many installations for one run"
      Call AddOther
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

; Adds the text on the stack to $Others, the installations left alone and why.
Function AddOther
  Exch $0
  ${If} $Others == ""
    StrCpy $Others $0
  ${Else}
    StrCpy $Others "$Others; $0"
  ${EndIf}
  Pop $0
FunctionEnd

!macro IsPackaged N MODULE
  ${If} $R0 == "${N}"
    StrCpy $0 1
  ${EndIf}
!macroend

; Names the Archicad $R0 in folder $R1 in $Others when this package has no module for its version and the
; folder holds Archicad (once per version).
Function OtherArchicad
  Push $0
  StrCpy $0 0
  !insertmacro KaveloEachModule IsPackaged
  ${If} $0 = 1
  ${OrIfNot} ${FileExists} "$R1\Archicad.exe"
    Goto done
  ${EndIf}
  StrCpy $List $OtherVersions
  ${Do}
    Call NextItem
    ${If} $Item == $R0
      Goto done
    ${EndIf}
  ${LoopUntil} $Item == ""
  StrCpy $OtherVersions "$OtherVersions$R0$\n"
  Push "Archicad $R0: this package has no ${PRODUCT} for it"
  Call AddOther
done:
  Pop $0
FunctionEnd

; Finds the Archicad installations of the versions this package has no module for, as FindInstallations
; finds the others, to name them on the first pages.
Function OtherArchicads
  Push $1
  Push $2
  Push $3
  Push $R0
  Push $R1
  StrCpy $1 0
  ${Do}
    EnumRegKey $2 HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall" $1
    ${If} $2 == ""
      ${Break}
    ${EndIf}
    IntOp $1 $1 + 1
    ReadRegStr $3 HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\$2" DisplayName
    StrCpy $R0 $3 "" 9
    IntOp $R1 $R0 + 0
    StrCpy $3 $3 9
    ${If} $3 == "Archicad "
    ${AndIf} $R0 != ""
    ${AndIf} "$R1" == "$R0"
      ReadRegStr $R1 HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\$2" InstallLocation
      ${DoWhile} $R1 != ""
        StrCpy $3 $R1 "" -1
        ${If} $3 != "\"
          ${Break}
        ${EndIf}
        StrCpy $R1 $R1 -1
      ${Loop}
      Call OtherArchicad
    ${EndIf}
  ${Loop}
  FindFirst $1 $2 "$PROGRAMFILES64\GRAPHISOFT\Archicad *"
  ${DoWhile} $2 != ""
    StrCpy $R0 $2 "" 9
    IntOp $3 $R0 + 0
    ${If} "$3" == "$R0"
      StrCpy $R1 "$PROGRAMFILES64\GRAPHISOFT\$2"
      Call OtherArchicad
    ${EndIf}
    FindNext $1 $2
  ${Loop}
  FindClose $1
  Pop $R1
  Pop $R0
  Pop $3
  Pop $2
  Pop $1
FunctionEnd

; The installation folders of Archicad $R0 found, as "C:\A, C:\B" in $0.
Function VersionFolders
  StrCpy $0 ""
  StrCpy $List $Folders
  ${Do}
    Call NextItem
    ${If} $Item == ""
      ${Break}
    ${EndIf}
    Call SplitItem
    ${If} $R3 != $R0
      ${Continue}
    ${EndIf}
    ${If} $0 == ""
      StrCpy $0 $R4
    ${Else}
      StrCpy $0 "$0, $R4"
    ${EndIf}
  ${Loop}
FunctionEnd

; Adds the size of the file on the stack, in KB, to $R7.
Function CountSize
  Exch $0
  Push $1
  Push $2
  StrCpy $2 0
  FileOpen $1 $0 r
  FileSeek $1 0 END $2
  FileClose $1
  IntOp $2 $2 + 1023
  IntOp $2 $2 / 1024
  IntOp $R7 $R7 + $2
  Pop $2
  Pop $1
  Pop $0
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
; (numbers from $R5 on) with its SHA-256 and the Archicad version. $R7 sums the sizes in KB.
!macro InstallVersion N MODULE
  SetDetailsPrint textonly
  DetailPrint "Archicad ${N}: adding ${PRODUCT}"
  SetDetailsPrint none
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
      WriteRegStr HKLM "${ENTRY}" "Module$R5.archicad" "${N}"
      ; Written by the helper, with the folders on its path held so that none turns into a link meanwhile;
      ; a read-only module there goes only when it is the one recorded for that path.
      Call RecordedSha
      File "/oname=${STAGED}" "${MODULE}"
      ExecWait '"${HELPER}" place "${STAGED}" "$R9" "$0"' $0
      Delete "${STAGED}"
      ${GetParent} $R9 $1
      ${If} $0 <> 0
        ${If} $0 = 1
          !insertmacro Note "Archicad ${N}: ${PRODUCT} was not written into $1: a link on its path."
          StrCpy $0 ${EXIT_LINK}
        ${ElseIf} $0 = 6
          !insertmacro Note "Archicad ${N}: ${PRODUCT} was not written into $1: its path is too long."
          StrCpy $0 ${EXIT_TOO_LONG}
        ${ElseIf} $0 = 3
          !insertmacro Note "Archicad ${N}: ${PRODUCT} was not written into $1: a read-only file is there that this installer did not put there."
          StrCpy $0 ${EXIT_FAILED}
        ${ElseIf} $0 = 4
          !insertmacro Note "Archicad ${N}: ${PRODUCT} could not be written into $1: a program has it open."
          StrCpy $0 ${EXIT_FAILED}
        ${Else}
          !insertmacro Note "Archicad ${N}: ${PRODUCT} could not be written into $1 (code $0)."
          StrCpy $0 ${EXIT_FAILED}
        ${EndIf}
        !insertmacro Fail $Failed $0
        !insertmacro Fail $Failed $Refused
        SetErrorLevel $Failed
        FileClose $Log
        StrCpy $Log ""
        SetDetailsView show
        Abort
      ${EndIf}
      Call InspectPath
      ; Checked again as written: a link made meanwhile would have taken the file elsewhere.
      ${If} $HStatus <> 0
      ${OrIf} $HFinal != $R9
        !insertmacro Note "Archicad ${N}: ${PRODUCT} was not written into $1 as intended (a link on its path?)."
        !insertmacro Fail $Failed ${EXIT_LINK}
      ${Else}
        WriteRegStr HKLM "${ENTRY}" "Module$R5.sha256" $HSha
        StrCpy $OwnId $HId
        !insertmacro Note "Archicad ${N}: installed in $1"
        Push $R9
        Call CountSize
      ${EndIf}
      IntOp $R5 $R5 + 1
    ${EndIf}
  ${Loop}
  ${If} $Installed == ""
    StrCpy $Installed "Archicad ${N}"
  ${Else}
    StrCpy $Installed "$Installed, Archicad ${N}"
  ${EndIf}
!macroend

; First the uninstaller and its entry, then one section per Archicad version (each shown only when that
; Archicad is found), then what follows from the versions written.
Section "-Start"
  SetDetailsPrint none
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
  WriteRegStr HKLM "${ENTRY}" DisplayIcon '"$INSTDIR\Uninstall.exe",0'
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
  FileWriteUTF16LE /BOM $Log "${PRODUCT} ${VERSION}$\r$\n"
  StrCpy $R7 0
  StrCpy $Installed ""
SectionEnd

!macro VersionSection N MODULE
  Section "Archicad ${N}" SecArchicad${N}
    SetDetailsPrint none
    SetRegView 64
    !insertmacro InstallVersion ${N} "${MODULE}"
  SectionEnd
!macroend
!insertmacro KaveloEachModule VersionSection

; Names the installations left alone, and why; never installs anything.
Section "" SecOthers
SectionEnd

!macro IsChosen N MODULE
  ${If} $R3 == "${N}"
  ${AndIf} ${SectionIsSelected} ${SecArchicad${N}}
    StrCpy $0 1
  ${EndIf}
!macroend

; Whether Archicad version $R3 was ticked ($0 = 1).
Function IsChosen
  StrCpy $0 0
  !insertmacro KaveloEachModule IsChosen
FunctionEnd

Section "-Finish"
  SetDetailsPrint none
  SetRegView 64
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
    ; The same file in another spelling (short names, case) is one this install wrote, or one of an
    ; Archicad left unticked, which stays as it is.
    Call InspectPath
    StrCpy $0 0
    ${If} $HStatus = 0
      StrCpy $R9 $HFinal
      Call IsTarget
      StrCpy $R9 $R6
      ${If} $0 = 1
        Call IsChosen
        StrCpy $Removal gone
        ${If} $0 = 0
          StrCpy $Removal kept
          ; Still installed: counted in the size as a module written now is.
          Push $HFinal
          Call CountSize
        ${EndIf}
        StrCpy $0 1
      ${EndIf}
    ${EndIf}
    ${If} $0 = 0
      Call RemoveRecorded
    ${EndIf}
    ${If} $Removal != kept
      DeleteRegValue HKLM "${ENTRY}" "Module$R8"
      DeleteRegValue HKLM "${ENTRY}" "Module$R8.sha256"
      DeleteRegValue HKLM "${ENTRY}" "Module$R8.archicad"
    ${EndIf}
    Pop $List
  ${Loop}
  WriteRegDWORD HKLM "${ENTRY}" EstimatedSize $R7

  ; Other files with our add-on identifier in the add-ons trees written: Archicad refuses both while they
  ; are there. They are named, not removed: they were not ours to take.
  StrCpy $List $Targets
  ${Do}
    Call NextItem
    ${If} $Item == ""
      ${Break}
    ${EndIf}
    Call SplitItem
    Call IsChosen
    ${If} $0 = 0
      ${Continue}
    ${EndIf}
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
    !insertmacro Note "Left alone: $Others"
    !insertmacro Fail $Failed $Refused
  ${EndIf}
  FileClose $Log
  StrCpy $Log ""
  ${If} $Failed <> 0
    SetErrorLevel $Failed
    StrCpy $Outcome "${PRODUCT} was not installed everywhere"
    StrCpy $OutcomeDetail "The details below say where, and why."
    SetDetailsView show
  ${Else}
    StrCpy $Outcome "${PRODUCT} is installed"
    StrCpy $OutcomeDetail "Click Next for what to do next."
  ${EndIf}
SectionEnd

!macro FindVersion N MODULE
  StrCpy $R0 "${N}"
  Call FindInstallations
  Call VersionFolders
  ${If} $0 == ""
    SectionSetText ${SecArchicad${N}} ""
    !insertmacro UnselectSection ${SecArchicad${N}}
  ${Else}
    SectionSetText ${SecArchicad${N}} "Archicad ${N} ($0)"
  ${EndIf}
!macroend

Function .onInit
  SetRegView 64
  StrCpy $Log ""
  StrCpy $Failed 0
  StrCpy $Refused 0
  StrCpy $Targets ""
  StrCpy $Folders ""
  StrCpy $Others ""
  StrCpy $OtherVersions ""
  Call StartHelper
  !insertmacro KaveloEachModule FindVersion
  Call OtherArchicads
  SectionSetFlags ${SecOthers} 0
  SectionSetText ${SecOthers} ""
  ${If} $Others != ""
    SectionSetText ${SecOthers} "$Others"
    SectionSetFlags ${SecOthers} ${SF_RO}
  ${EndIf}
  ${If} $Targets == ""
    Call StopHelper
    StrCpy $0 ""
    ${If} $Others != ""
      StrCpy $0 "Found, and left alone: $Others.$\r$\n$\r$\n"
    ${EndIf}
    ${If} $Refused <> 0
      MessageBox MB_ICONSTOP "${PRODUCT} was not installed: no Archicad was found that it can be added to safely.\
        $\r$\n$\r$\n$0Ask whoever looks after this computer to look at the folders named." /SD IDOK
      SetErrorLevel $Refused
    ${Else}
      MessageBox MB_ICONSTOP "${PRODUCT} was not installed: this package serves Archicad ${VERSIONS}, and none of \
        them was found on this computer.$\r$\n$\r$\n$0${BY_HAND}" /SD IDOK
      SetErrorLevel ${EXIT_NO_ARCHICAD}
    ${EndIf}
    Quit
  ${EndIf}
FunctionEnd

!macro CountChosen N MODULE
  ${If} ${SectionIsSelected} ${SecArchicad${N}}
    IntOp $0 $0 + 1
  ${EndIf}
!macroend

; Leaving the choice: at least one Archicad must be ticked.
Function ChoiceMade
  StrCpy $0 0
  !insertmacro KaveloEachModule CountChosen
  ${If} $0 = 0
    MessageBox MB_ICONEXCLAMATION "Tick at least one Archicad, or click Cancel to leave Setup." /SD IDOK
    Abort
  ${EndIf}
FunctionEnd

Function AboutPage
  Push "${PRODUCT} connects Archicad to the ${PRODUCT} web application, which makes realistic pictures of \
    architectural views: send the current Archicad view to ${PRODUCT} and follow the results in your browser.\
    $\r$\n$\r$\nThis is ${PRODUCT} ${VERSION}, for Archicad ${VERSIONS}. ${EDITION}\
    $\r$\n$\r$\nSetup adds ${PRODUCT} to each Archicad you choose on the next page. Apps & features (Add or \
    Remove Programs) removes it again."
  Call TextPage
FunctionEnd

; The page after the progress shows only when everything went in.
Function NextStepsWanted
  ${If} $Failed <> 0
    Abort
  ${EndIf}
FunctionEnd

Function NextStepsPage
  ; Nothing left to cancel.
  GetDlgItem $0 $HWNDPARENT 2
  EnableWindow $0 0
  Push "1. Start Archicad, or quit it and start it again if it is running.$\r$\n$\r$\n\
    2. ${PRODUCT} is in the ${PRODUCT} menu, and its toolbar in Window > Toolbars.$\r$\n$\r$\n\
    3. The first export (${PRODUCT} > Export from current view) opens your browser to link ${PRODUCT} to your \
    account: log in there and confirm. Exports from then on go straight to your account.$\r$\n$\r$\n\
    Apps & features (Add or Remove Programs) removes ${PRODUCT} again."
  Call TextPage
FunctionEnd

; Cancelled by the person before anything was installed: nothing of this run stays behind.
Function Cancelled
  Call StopHelper
FunctionEnd

Function un.Cancelled
  Call un.StopHelper
FunctionEnd

Function un.onInit
  SetRegView 64
  StrCpy $Log ""
  StrCpy $Failed 0
  StrCpy $OwnId ""
  Call un.StartHelper
  ; What it removes, for its first page: the KAVELO folder of each recorded module, with its Archicad.
  StrCpy $Found ""
  Call un.ReadRecords
  ${Do}
    Call un.NextItem
    ${If} $Item == ""
      ${Break}
    ${EndIf}
    Call un.SplitItem
    ReadRegStr $0 HKLM "${ENTRY}" "Module$R3.archicad"
    ${GetParent} $R4 $1
    ${If} $0 == ""
      StrCpy $Found "$Found$1$\r$\n"
    ${Else}
      StrCpy $Found "$FoundArchicad $0: $1$\r$\n"
    ${EndIf}
  ${Loop}
FunctionEnd

Function un.RemovalPage
  Push "$Found$\r$\nand Setup's own files in $INSTDIR, with its entry in Apps & features. Nothing else is \
    touched: your projects and Archicad's other add-ons stay."
  Call un.TextPage
FunctionEnd

Section "Uninstall"
  SetDetailsPrint none
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
      DeleteRegValue HKLM "${ENTRY}" "Module$R8.archicad"
    ${EndIf}
    Pop $List
  ${Loop}
  Delete "${HELPER}"
  ${If} $Failed <> 0
    !insertmacro Note "What stays on record is removed when this runs again."
    StrCpy $Outcome "Some of ${PRODUCT} stays"
    StrCpy $OutcomeDetail "The details below say what, and why."
    SetDetailsView show
    SetErrorLevel $Failed
    Return
  ${EndIf}
  Delete "$INSTDIR\install.log"
  Delete "${STAGED}"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir $INSTDIR
  DeleteRegKey HKLM "${ENTRY}"
  StrCpy $Outcome "${PRODUCT} is removed"
  StrCpy $OutcomeDetail "Archicad starts without it from now on."
SectionEnd
