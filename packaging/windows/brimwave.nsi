; Brimwave's installer: finds the player, puts vis_brim.dll into the folder it
; loads visualizations from, and lists it in Add/Remove Programs for all users.
;
; The build defines VERSION (0.6.0.0), RELEASE (0.6), COPYRIGHT, and the
; paths DLL, VIEWER (Brimwave.exe), LICENSE, ICON and OUTFILE.
;
; Exit codes of Setup and of the uninstaller, silent or not: 0 done,
; 1 cancelled by the user, 2 aborted, 3 the folder is not the player's
; (winamp.exe missing, or /D= names a file or nothing), 4 vis_brim.dll is in
; use (the player has it loaded), 5 the plug-in folder cannot be written,
; 6 the account may not change vis_brim.dll.
; /S installs silently; /D=<player folder> (quoted or not, absolute or
; relative to the current folder) overrides the folder found in the registry.
; However a folder is spelled, it is used in one spelling (CanonicalFolder).

Unicode true
SetCompressor /SOLID lzma
; The player's folder is usually under Program Files: Windows asks once for
; an administrator's consent, for Setup and for the uninstaller alike.
RequestExecutionLevel admin
; The installer's files carry no build-machine times; they get the install time.
SetDateSave off

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh

!define DLL_NAME "vis_brim.dll"
; The licence and the uninstaller share the player's plug-in folder with
; other plug-ins' files, so they bear the product's name.
!define LICENCE_NAME "Brimwave-LICENSE.txt"
!define UNINSTALLER_NAME "Brimwave-uninstall.exe"
; Brimwave without the player: it runs the DLL beside it.
!define VIEWER_NAME "Brimwave.exe"
!define SHORTCUT_NAME "Brimwave.lnk"
; The folder the one Start-menu shortcut runs Brimwave.exe from.
!define SHORTCUT_KEY "Software\Brimwave"
; Each plug-in folder has an entry of its own: "Brimwave", "Brimwave 2", ...
!define UNINSTALL_ROOT "Software\Microsoft\Windows\CurrentVersion\Uninstall"
!define ENTRY_NAME "Brimwave"
!define PUBLISHER "Brimwave developers"
!define ERROR_NOT_PLAYER_FOLDER 3
!define ERROR_DLL_IN_USE 4
!define ERROR_CANNOT_WRITE 5
!define ERROR_DLL_LOCKED 6
!define ERROR_ACCESS_DENIED 5
!define ERROR_SHARING_VIOLATION 32
!define CSIDL_APPDATA 26

Name "Brimwave ${RELEASE}"
OutFile "${OUTFILE}"
BrandingText "Brimwave ${RELEASE}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}"
VIAddVersionKey ProductName "Brimwave"
VIAddVersionKey ProductVersion "${VERSION}"
VIAddVersionKey FileVersion "${VERSION}"
VIAddVersionKey FileDescription "Brimwave ${RELEASE} setup"
VIAddVersionKey CompanyName "${PUBLISHER}"
VIAddVersionKey LegalCopyright "${COPYRIGHT}"

Var PluginDir
; 1 when the command line has /D=, even one naming nothing.
Var FolderNamed

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING

!insertmacro MUI_PAGE_LICENSE "${LICENSE}"
!define MUI_DIRECTORYPAGE_TEXT_TOP "Brimwave is a visualization plug-in for Winamp. Choose the folder where Winamp is installed: the one that holds winamp.exe. Setup goes on only with such a folder.$\r$\n$\r$\nBrimwave goes into Winamp's Plugins folder, or into the visualization folder that Winamp's settings name."
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "Winamp folder"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TITLE "Brimwave ${RELEASE} is installed"
!define MUI_FINISHPAGE_TEXT "Start Winamp, open Preferences > Plug-ins > Visualization, pick $\"Brimwave (OpenGL) v${RELEASE}$\" and one of its modules, and press Start.$\r$\n$\r$\nHOME and END change the sensitivity, ESC ends the visualization.$\r$\n$\r$\nWithout Winamp: start Brimwave from the Start menu and play music in any program; M opens the next visualization."
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE English

; Routines the installer and the uninstaller both need ("un." for the latter).
!macro SharedFunctions UN

; $0: a folder, however spelled -> $0: its one spelling, as Add/Remove, the
; shortcut's key and the uninstaller's _?= get it: absolute (a relative one
; from the current folder), without a \\?\ prefix, "." or ".." steps, "/"
; or trailing "\", and, where it exists, with the long names and the letter
; case it has on disk. "" stays "".
Function ${UN}CanonicalFolder
    Push $1
    Push $2
    Push $3
    ; \\?\C:\... and \\?\UNC\server\...; others (\\?\Volume{...}) stay.
    StrCpy $1 $0 8
    StrCpy $2 $0 4
    StrCpy $3 $0 1 5
    ${If} $1 == "\\?\UNC\"
        StrCpy $0 $0 "" 8
        StrCpy $0 "\\$0"
    ${ElseIf} $2 == "\\?\"
    ${AndIf} $3 == ":"
        StrCpy $0 $0 "" 4
    ${EndIf}
    ${If} $0 != ""
        System::Call 'kernel32::GetFullPathNameW(w r0, i ${NSIS_MAX_STRLEN}, w .r1, p 0) i .r2'
        ${If} $2 > 0
        ${AndIf} $2 < ${NSIS_MAX_STRLEN}
            StrCpy $0 $1
        ${EndIf}
        ; Long names that come from short ones have the case on disk.
        System::Call 'kernel32::GetShortPathNameW(w r0, w .r1, i ${NSIS_MAX_STRLEN}) i .r2'
        ${If} $2 > 0
        ${AndIf} $2 < ${NSIS_MAX_STRLEN}
            System::Call 'kernel32::GetLongPathNameW(w r1, w .r3, i ${NSIS_MAX_STRLEN}) i .r2'
            ${If} $2 > 0
            ${AndIf} $2 < ${NSIS_MAX_STRLEN}
                StrCpy $0 $3
            ${EndIf}
        ${EndIf}
        ${Do}
            StrCpy $1 $0 1 -1
            ${If} $1 != "\"
                ${ExitDo}
            ${EndIf}
            StrCpy $0 $0 -1
        ${Loop}
    ${EndIf}
    Pop $3
    Pop $2
    Pop $1
FunctionEnd

; $1: a folder read from the registry, which earlier releases wrote as given
; -> $1: its one spelling.
Function ${UN}CanonicalFolderIn1
    Push $0
    StrCpy $0 $1
    Call ${UN}CanonicalFolder
    StrCpy $1 $0
    Pop $0
FunctionEnd

; $0: a plug-in folder -> $1: the name of its Add/Remove entry, "" if none;
; $5: the folder of another entry whose Brimwave.exe is still there, "" if none.
Function ${UN}FindEntry
    Push $R9
    StrCpy $5 ""
    StrCpy $R9 ""
    StrCpy $2 0
    ${Do}
        EnumRegKey $3 HKLM "${UNINSTALL_ROOT}" $2
        ${If} $3 == ""
            ${ExitDo}
        ${EndIf}
        StrCpy $4 $3 8
        ${If} $4 == "${ENTRY_NAME}"
            ReadRegStr $1 HKLM "${UNINSTALL_ROOT}\$3" "InstallLocation"
            Call ${UN}CanonicalFolderIn1
            ${If} $1 == $0
                ${If} $R9 == ""
                    StrCpy $R9 $3
                ${EndIf}
            ${ElseIf} $5 == ""
            ${AndIf} $1 != ""
            ${AndIf} ${FileExists} "$1\${VIEWER_NAME}"
                StrCpy $5 $1
            ${EndIf}
        ${EndIf}
        IntOp $2 $2 + 1
    ${Loop}
    StrCpy $1 $R9
    Pop $R9
FunctionEnd

; $0: a plug-in folder. Earlier releases listed it for the current user only.
Function ${UN}ForgetUserEntry
    ReadRegStr $1 HKCU "${UNINSTALL_ROOT}\${ENTRY_NAME}" "InstallLocation"
    Call ${UN}CanonicalFolderIn1
    ${If} $1 == $0
        DeleteRegKey HKCU "${UNINSTALL_ROOT}\${ENTRY_NAME}"
    ${EndIf}
FunctionEnd

; $0: a folder holding vis_brim.dll. Renames it to vis_brim.dll.old (a DLL
; the player has loaded can be renamed, not deleted) -> $1: 0 when done or
; there is no DLL, else the exit code that says why not: another program
; has it open, or the account may not change it.
Function ${UN}MoveDllAside
    StrCpy $1 0
    ${IfNot} ${FileExists} "$0\${DLL_NAME}"
        Return
    ${EndIf}
    Delete "$0\${DLL_NAME}.old"
    System::Call 'kernel32::MoveFileW(w "$0\${DLL_NAME}", w "$0\${DLL_NAME}.old") i .r1 ?e'
    Pop $2
    ${If} $1 <> 0
        StrCpy $1 0
    ${ElseIf} $2 = ${ERROR_SHARING_VIOLATION}
        StrCpy $1 ${ERROR_DLL_IN_USE}
    ${ElseIf} $2 = ${ERROR_ACCESS_DENIED}
        StrCpy $1 ${ERROR_DLL_LOCKED}
    ${Else}
        StrCpy $1 ${ERROR_CANNOT_WRITE}
    ${EndIf}
FunctionEnd

; $0: a folder whose vis_brim.dll was moved aside. Deletes the old DLL, or
; puts it back (removing any new one) -> $1: 0, or the exit code.
Function ${UN}DeleteOldDll
    StrCpy $1 0
    ClearErrors
    Delete "$0\${DLL_NAME}.old"
    ${IfNot} ${Errors}
        Return
    ${EndIf}
    Delete "$0\${DLL_NAME}"
    Rename "$0\${DLL_NAME}.old" "$0\${DLL_NAME}"
    ; The account could rename it (and Delete clears a read-only attribute):
    ; a DLL that can be renamed but not deleted is loaded.
    StrCpy $1 ${ERROR_DLL_IN_USE}
FunctionEnd

!macroend
!insertmacro SharedFunctions ""
!insertmacro SharedFunctions "un."

; $0: text, $1: a character -> $0: the text before the character's first
; occurrence (all of it if none), $2: its length.
Function UpTo
    StrCpy $2 0
    ${Do}
        StrCpy $3 $0 1 $2
        ${If} $3 == $1
        ${OrIf} $3 == ""
            ${ExitDo}
        ${EndIf}
        IntOp $2 $2 + 1
    ${Loop}
    StrCpy $0 $0 $2
FunctionEnd

; $0: a command line such as an uninstall string, quoted or not -> $0: the
; folder of the program it starts.
Function FolderOfCommand
    StrCpy $1 $0 1
    ${If} $1 == '"'
        StrCpy $0 $0 "" 1
        StrCpy $1 '"'
        Call UpTo
    ${EndIf}
    ${GetParent} $0 $0
FunctionEnd

; $INSTDIR: where the player is, from its uninstaller's registration, else
; from the folder it records for the user, else its default folder.
Function FindPlayer
    ReadRegStr $0 HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\Winamp" "UninstallString"
    ${If} $0 != ""
        Call FolderOfCommand
    ${Else}
        ReadRegStr $0 HKCU "Software\Winamp" ""
    ${EndIf}
    ${If} $0 == ""
        StrCpy $0 "$PROGRAMFILES\Winamp"
    ${EndIf}
    StrCpy $INSTDIR $0
FunctionEnd

; $INSTDIR: the folder /D= names, as written; $FolderNamed: 1 when there is
; a /D=. NSIS itself takes /D= only unquoted and last, and then only an
; absolute folder that is not a file: for any other it leaves $INSTDIR empty,
; as without /D=. Scripts and shells quote it when the folder holds a space
; ("/D=C:\My Player"), some quote the folder alone (/D="C:\My Player"),
; which $CMDLINE then lacks.
Function FolderFromCommandLine
    StrCpy $FolderNamed 0
    System::Call 'kernel32::GetCommandLineW() w .r0'
    StrCpy $2 0
    ${Do}
        StrCpy $1 $0 4 $2
        ${If} $1 == ""
            Return
        ${EndIf}
        ${If} $1 == '"/D='
        ${OrIf} $1 == ' /D='
            ${ExitDo}
        ${EndIf}
        IntOp $2 $2 + 1
    ${Loop}
    StrCpy $FolderNamed 1
    StrCpy $3 $1 1
    IntOp $2 $2 + 4
    StrCpy $0 $0 "" $2
    StrCpy $1 $0 1
    ${If} $3 == ' '
    ${AndIf} $1 == '"'
        StrCpy $0 $0 "" 1
        StrCpy $3 '"'
    ${EndIf}
    ; Unquoted, the rest of the line (as NSIS takes it).
    ${If} $3 == '"'
        StrCpy $1 '"'
        Call UpTo
    ${EndIf}
    StrCpy $INSTDIR $0
FunctionEnd

; $0: a folder as the player's files name it: absolute, relative to the
; player's folder, "\path" on the player's drive, with %VARIABLES% or with
; {n} standing for a shell folder (26: the roaming application data)
; -> $0: the absolute folder.
Function AbsoluteFolder
    ExpandEnvStrings $0 $0
    StrCpy $1 $0 1
    ${If} $1 == "{"
        StrCpy $4 $0
        StrCpy $0 $0 "" 1
        StrCpy $1 "}"
        Call UpTo
        IntOp $2 $2 + 2
        StrCpy $4 $4 "" $2
        System::Call 'shell32::SHGetSpecialFolderPathW(p 0, w .r1, i r0, i 0)'
        StrCpy $0 "$1$4"
        Return
    ${EndIf}
    StrCpy $1 $0 1 1
    StrCpy $2 $0 2
    ${If} $1 == ":"
    ${OrIf} $2 == "\\"
        Return
    ${EndIf}
    StrCpy $1 $0 1
    ${If} $1 == "\"
        ${GetRoot} $INSTDIR $1
        StrCpy $0 "$1$0"
    ${Else}
        StrCpy $0 "$INSTDIR\$0"
    ${EndIf}
FunctionEnd

; $0: text read from an ini file, which was decoded in the ANSI code page
; -> $0: the same bytes decoded as UTF-8, when they are UTF-8.
Function AsUtf8
    System::Alloc ${NSIS_MAX_STRLEN}
    Pop $1
    System::Call 'kernel32::WideCharToMultiByte(i 0, i 0, w r0, i -1, p r1, i ${NSIS_MAX_STRLEN}, p 0, p 0) i .r2'
    ${If} $2 > 0
        ; MB_ERR_INVALID_CHARS: bytes that are not UTF-8 stay as they were read.
        System::Call 'kernel32::MultiByteToWideChar(i 65001, i 8, p r1, i -1, w .r3, i ${NSIS_MAX_STRLEN}) i .r2'
        ${If} $2 > 0
            StrCpy $0 $3
        ${EndIf}
    ${EndIf}
    System::Free $1
FunctionEnd

; $PluginDir: the VisDir of the winamp.ini the player uses (beside
; winamp.exe, or in the folder paths.ini names there) when it names an
; existing folder, else the player's Plugins folder.
Function FindPluginFolder
    StrCpy $PluginDir "$INSTDIR\Plugins"
    StrCpy $5 $INSTDIR
    ReadINIStr $0 "$INSTDIR\paths.ini" "Winamp" "inidir"
    ${If} $0 != ""
        Call AbsoluteFolder
        StrCpy $5 $0
    ${EndIf}
    ReadINIStr $0 "$5\winamp.ini" "Winamp" "VisDir"
    StrCpy $1 $0 1 -1
    ${If} $1 == "\"
        StrCpy $0 $0 -1
    ${EndIf}
    ${If} $0 == ""
        Return
    ${EndIf}
    StrCpy $5 $0
    Call AbsoluteFolder
    ${IfNot} ${FileExists} "$0\*.*"
        StrCpy $0 $5
        Call AsUtf8
        Call AbsoluteFolder
    ${EndIf}
    ${If} ${FileExists} "$0\*.*"
        StrCpy $PluginDir $0
    ${EndIf}
    StrCpy $0 $PluginDir
    Call CanonicalFolder
    StrCpy $PluginDir $0
FunctionEnd

; $INSTDIR in its one spelling.
Function CanonicalInstDir
    StrCpy $0 $INSTDIR
    Call CanonicalFolder
    StrCpy $INSTDIR $0
FunctionEnd

; Named by /D= (even as a file or as nothing) or found, the folder must be
; the player's.
Function .onInit
    Call FolderFromCommandLine
    ${If} $FolderNamed = 0
        Call FindPlayer
    ${EndIf}
    Call CanonicalInstDir
    ; Silent runs have no directory page to refuse a wrong folder.
    ${If} ${Silent}
        ${If} $INSTDIR == ""
        ${OrIfNot} ${FileExists} "$INSTDIR\winamp.exe"
            SetErrorLevel ${ERROR_NOT_PLAYER_FOLDER}
            Quit
        ${EndIf}
    ${EndIf}
FunctionEnd

Function .onVerifyInstDir
    ${If} $INSTDIR == ""
    ${OrIfNot} ${FileExists} "$INSTDIR\winamp.exe"
        Abort
    ${EndIf}
FunctionEnd

Section "Brimwave"
    ; As the directory page left it.
    Call CanonicalInstDir
    Call FindPluginFolder
    SetOutPath $PluginDir
    SetOverwrite try
retry:
    ; The new DLL is written under another name first. Then the old one goes
    ; aside, the new one takes its name and the old one is deleted; a step
    ; that fails undoes the ones before, so the folder keeps a whole DLL.
    ClearErrors
    File "/oname=$PluginDir\${DLL_NAME}.new" "${DLL}"
    ${If} ${Errors}
        StrCpy $1 ${ERROR_CANNOT_WRITE}
    ${Else}
        StrCpy $0 $PluginDir
        Call MoveDllAside
    ${EndIf}
    ${If} $1 = 0
        ClearErrors
        Rename "$PluginDir\${DLL_NAME}.new" "$PluginDir\${DLL_NAME}"
        ${If} ${Errors}
            Rename "$PluginDir\${DLL_NAME}.old" "$PluginDir\${DLL_NAME}"
            StrCpy $1 ${ERROR_CANNOT_WRITE}
        ${Else}
            Call DeleteOldDll
        ${EndIf}
    ${EndIf}
    Delete "$PluginDir\${DLL_NAME}.new"
    ${If} $1 = ${ERROR_CANNOT_WRITE}
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Setup cannot write into $PluginDir.$\r$\n$\r$\nMake sure that the folder may be written and its disk has room, then click Retry; or click Cancel." /SD IDCANCEL IDRETRY retry
        SetErrorLevel $1
        Abort "Nothing was changed: $PluginDir cannot be written."
    ${ElseIf} $1 = ${ERROR_DLL_IN_USE}
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$PluginDir\${DLL_NAME} cannot be replaced: Winamp is probably running with Brimwave loaded.$\r$\n$\r$\nClose Winamp and click Retry, or click Cancel to keep the Brimwave you have." /SD IDCANCEL IDRETRY retry
        SetErrorLevel $1
        Abort "Nothing was changed: $PluginDir\${DLL_NAME} is in use."
    ${ElseIf} $1 = ${ERROR_DLL_LOCKED}
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$PluginDir\${DLL_NAME} cannot be replaced: your account may not change it.$\r$\n$\r$\nAsk the computer's administrator to give you that right, then click Retry; or click Cancel to keep the Brimwave you have." /SD IDCANCEL IDRETRY retry
        SetErrorLevel $1
        Abort "Nothing was changed: $PluginDir\${DLL_NAME} may not be changed."
    ${EndIf}

    SetOverwrite on
    File "/oname=$PluginDir\${LICENCE_NAME}" "${LICENSE}"
    File "/oname=$PluginDir\${VIEWER_NAME}" "${VIEWER}"
    WriteUninstaller "$PluginDir\${UNINSTALLER_NAME}"
    ; For every user; a second player's install points it at its own folder,
    ; the uninstaller at a copy that remains.
    SetShellVarContext all
    CreateShortCut "$SMPROGRAMS\${SHORTCUT_NAME}" "$PluginDir\${VIEWER_NAME}"
    WriteRegStr HKLM "${SHORTCUT_KEY}" "Shortcut" "$PluginDir"

    ; This folder's entry, else the first free name; the first one is
    ; "Brimwave", the others also name their folder.
    StrCpy $0 $PluginDir
    Call ForgetUserEntry
    Call FindEntry
    StrCpy $R0 $1
    StrCpy $R1 "Brimwave ${RELEASE} (Winamp visualization plug-in)"
    ${If} $R0 == ""
        StrCpy $R0 "${ENTRY_NAME}"
        StrCpy $2 1
        ${Do}
            ReadRegStr $3 HKLM "${UNINSTALL_ROOT}\$R0" "DisplayName"
            ${If} $3 == ""
                ${ExitDo}
            ${EndIf}
            IntOp $2 $2 + 1
            StrCpy $R0 "${ENTRY_NAME} $2"
        ${Loop}
    ${EndIf}
    ${If} $R0 != "${ENTRY_NAME}"
        StrCpy $R1 "$R1 in $INSTDIR"
    ${EndIf}
    StrCpy $R0 "${UNINSTALL_ROOT}\$R0"
    WriteRegStr HKLM $R0 "DisplayName" $R1
    WriteRegStr HKLM $R0 "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM $R0 "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM $R0 "InstallLocation" "$PluginDir"
    WriteRegStr HKLM $R0 "DisplayIcon" "$PluginDir\${UNINSTALLER_NAME}"
    ; _?= runs the uninstaller in place, so that its first stage is ours.
    WriteRegStr HKLM $R0 "UninstallString" '"$PluginDir\${UNINSTALLER_NAME}" _?=$PluginDir'
    WriteRegStr HKLM $R0 "QuietUninstallString" '"$PluginDir\${UNINSTALLER_NAME}" /S _?=$PluginDir'
    WriteRegDWORD HKLM $R0 "NoModify" 1
    WriteRegDWORD HKLM $R0 "NoRepair" 1
    SectionGetSize 0 $0
    WriteRegDWORD HKLM $R0 "EstimatedSize" $0
SectionEnd

; Run in place, as its Add/Remove entry runs it, the uninstaller hands the
; work to a copy of itself outside the folder and ends with the copy's exit
; code. A running uninstaller keeps its file open, so another copy deletes
; it the moment it has ended: before a Setup started next can write a new one.
Function un.onInit
    ; Entries of earlier releases give _?= the folder as /D= spelled it.
    StrCpy $0 $INSTDIR
    Call un.CanonicalFolder
    StrCpy $INSTDIR $0
    ${GetParameters} $0
    ClearErrors
    ${un.GetOptions} $0 "/cleanup=" $1
    ${IfNot} ${Errors}
        ; SYNCHRONIZE, EVENT_MODIFY_STATE
        System::Call 'kernel32::OpenProcess(i 0x100000, i 0, i r1) p .r2'
        System::Call 'kernel32::OpenEventW(i 2, i 0, w "Brimwave-uninstall-$1") p .r3'
        System::Call 'kernel32::SetEvent(p r3)'
        System::Call 'kernel32::CloseHandle(p r3)'
        System::Call 'kernel32::WaitForSingleObject(p r2, i 60000)'
        System::Call 'kernel32::CloseHandle(p r2)'
        Delete "$INSTDIR\${UNINSTALLER_NAME}"
        Quit
    ${EndIf}
    StrCpy $0 $EXEDIR
    Call un.CanonicalFolder
    ${If} $0 != $INSTDIR
        Return
    ${EndIf}
    InitPluginsDir
    CopyFiles /SILENT "$EXEPATH" "$PLUGINSDIR\${UNINSTALLER_NAME}"
    StrCpy $1 ""
    ${If} ${Silent}
        StrCpy $1 "/S"
    ${EndIf}
    ClearErrors
    ExecWait '"$PLUGINSDIR\${UNINSTALLER_NAME}" $1 _?=$INSTDIR' $0
    ${If} ${Errors}
        StrCpy $0 2
    ${ElseIf} $0 = 0
        System::Call 'kernel32::GetCurrentProcessId() i .r1'
        System::Call 'kernel32::CreateEventW(p 0, i 1, i 0, w "Brimwave-uninstall-$1") p .r2'
        Exec '"$PLUGINSDIR\${UNINSTALLER_NAME}" /S /cleanup=$1 _?=$INSTDIR'
        ; Until the copy waits for this program's end.
        System::Call 'kernel32::WaitForSingleObject(p r2, i 10000)'
        System::Call 'kernel32::CloseHandle(p r2)'
    ${EndIf}
    SetErrorLevel $0
    Quit
FunctionEnd

Section "Uninstall"
unRetry:
    StrCpy $0 $INSTDIR
    Call un.MoveDllAside
    ${If} $1 = 0
        Call un.DeleteOldDll
    ${EndIf}
    ${If} $1 = ${ERROR_DLL_IN_USE}
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$INSTDIR\${DLL_NAME} cannot be removed: Winamp is probably running with Brimwave loaded.$\r$\n$\r$\nClose Winamp and click Retry, or click Cancel to keep Brimwave." /SD IDCANCEL IDRETRY unRetry
        SetErrorLevel $1
        Abort "Nothing was removed: $INSTDIR\${DLL_NAME} is in use."
    ${ElseIf} $1 = ${ERROR_DLL_LOCKED}
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$INSTDIR\${DLL_NAME} cannot be removed: your account may not change it.$\r$\n$\r$\nAsk the computer's administrator to give you that right, then click Retry; or click Cancel to keep Brimwave." /SD IDCANCEL IDRETRY unRetry
        SetErrorLevel $1
        Abort "Nothing was removed: $INSTDIR\${DLL_NAME} may not be changed."
    ${EndIf}
    Delete "$INSTDIR\${LICENCE_NAME}"
    Delete "$INSTDIR\${VIEWER_NAME}"
    Delete "$INSTDIR\${UNINSTALLER_NAME}"
    ; The shortcut runs this folder's Brimwave.exe: it goes with the last copy,
    ; until then it runs another one's.
    StrCpy $0 $INSTDIR
    Call un.FindEntry
    ReadRegStr $1 HKLM "${SHORTCUT_KEY}" "Shortcut"
    Call un.CanonicalFolderIn1
    ${If} $1 == $INSTDIR
        SetShellVarContext all
        ${If} $5 == ""
            Delete "$SMPROGRAMS\${SHORTCUT_NAME}"
            DeleteRegKey HKLM "${SHORTCUT_KEY}"
        ${Else}
            ; Its working folder, as Setup makes it.
            SetOutPath $5
            CreateShortCut "$SMPROGRAMS\${SHORTCUT_NAME}" "$5\${VIEWER_NAME}"
            WriteRegStr HKLM "${SHORTCUT_KEY}" "Shortcut" $5
            DetailPrint "The Start menu's Brimwave now runs $5\${VIEWER_NAME}."
        ${EndIf}
    ${EndIf}
    ; Earlier releases could list one folder in several spellings.
    ${Do}
        StrCpy $0 $INSTDIR
        Call un.FindEntry
        ${If} $1 == ""
            ${ExitDo}
        ${EndIf}
        ClearErrors
        DeleteRegKey HKLM "${UNINSTALL_ROOT}\$1"
        ${If} ${Errors}
            ${ExitDo}
        ${EndIf}
    ${Loop}
    StrCpy $0 $INSTDIR
    Call un.ForgetUserEntry
    ${If} ${FileExists} "$INSTDIR\plugin.ini"
        DetailPrint "Kept $INSTDIR\plugin.ini: it holds your settings."
    ${EndIf}
SectionEnd
