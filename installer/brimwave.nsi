; Brimwave's installer: finds the player, puts vis_brim.dll into the folder it
; loads visualizations from, and registers an uninstaller for the current user.
;
; The build defines VERSION (0.6.0.0), RELEASE (0.6), COPYRIGHT, and the
; paths DLL, LICENSE, ICON and OUTFILE.
;
; Exit codes, silent or not: 0 installed, 1 cancelled by the user,
; 2 aborted, 3 the folder is not the player's (winamp.exe missing),
; 4 vis_brim.dll is in use (the player has it loaded), 5 the plug-in
; folder cannot be written.
; /S installs silently; /D=<player folder>, last on the command line,
; overrides the folder found in the registry.

Unicode true
SetCompressor /SOLID lzma
; Installs for the current user only: the player's folder must be writable.
RequestExecutionLevel user
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
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Brimwave"
!define PUBLISHER "Brimwave developers"
!define ERROR_NOT_PLAYER_FOLDER 3
!define ERROR_DLL_IN_USE 4
!define ERROR_CANNOT_WRITE 5

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

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING

!insertmacro MUI_PAGE_LICENSE "${LICENSE}"
!define MUI_DIRECTORYPAGE_TEXT_TOP "Brimwave is a visualization plug-in for Winamp. Choose the folder where Winamp is installed: the one that holds winamp.exe. Setup goes on only with such a folder.$\r$\n$\r$\nBrimwave goes into Winamp's Plugins folder, or into the visualization folder that Winamp's settings name."
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "Winamp folder"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TITLE "Brimwave ${RELEASE} is installed"
!define MUI_FINISHPAGE_TEXT "Start Winamp, open Preferences > Plug-ins > Visualization, pick $\"Brimwave (OpenGL) v${RELEASE}$\" and one of its modules, and press Start.$\r$\n$\r$\nHOME and END change the sensitivity, ESC ends the visualization."
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE English

; $0: a command line such as an uninstall string, quoted or not -> $0: the
; folder of the program it starts.
Function FolderOfCommand
    StrCpy $1 $0 1
    ${If} $1 == '"'
        StrCpy $0 $0 "" 1
        StrCpy $2 0
        ${Do}
            StrCpy $1 $0 1 $2
            ${If} $1 == '"'
            ${OrIf} $1 == ""
                ${ExitDo}
            ${EndIf}
            IntOp $2 $2 + 1
        ${Loop}
        StrCpy $0 $0 $2
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

; $PluginDir: winamp.ini's VisDir when it names an existing folder (a
; relative one is taken from the player's folder), else the Plugins folder.
Function FindPluginFolder
    StrCpy $PluginDir "$INSTDIR\Plugins"
    ReadINIStr $0 "$INSTDIR\winamp.ini" "Winamp" "VisDir"
    ${If} $0 == ""
        Return
    ${EndIf}
    StrCpy $1 $0 1 -1
    ${If} $1 == "\"
        StrCpy $0 $0 -1
    ${EndIf}
    StrCpy $1 $0 1 1
    StrCpy $2 $0 2
    ${If} $1 != ":"
    ${AndIf} $2 != "\\"
        StrCpy $0 "$INSTDIR\$0"
    ${EndIf}
    ${If} ${FileExists} "$0\*.*"
        StrCpy $PluginDir $0
    ${EndIf}
FunctionEnd

Function .onInit
    ; /D= has set $INSTDIR already.
    ${If} $INSTDIR == ""
        Call FindPlayer
    ${EndIf}
    ; Silent runs have no directory page to refuse a wrong folder.
    ${If} ${Silent}
    ${AndIfNot} ${FileExists} "$INSTDIR\winamp.exe"
        SetErrorLevel ${ERROR_NOT_PLAYER_FOLDER}
        Quit
    ${EndIf}
FunctionEnd

Function .onVerifyInstDir
    ${IfNot} ${FileExists} "$INSTDIR\winamp.exe"
        Abort
    ${EndIf}
FunctionEnd

Section "Brimwave"
    Call FindPluginFolder
    SetOutPath $PluginDir
    ; A DLL the player has loaded cannot be deleted. The new one is written
    ; under another name first, and only replaces the old one once that is
    ; gone, so the folder never holds a half-written vis_brim.dll.
    SetOverwrite try
retry:
    ClearErrors
    File "/oname=$PluginDir\${DLL_NAME}.new" "${DLL}"
    IfErrors 0 written
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Setup cannot write into $PluginDir.$\r$\n$\r$\nIf your account may not change Winamp's folder, run Setup as an administrator, then click Retry; or click Cancel." /SD IDCANCEL IDRETRY retry
    SetErrorLevel ${ERROR_CANNOT_WRITE}
    Abort "Nothing was changed: $PluginDir cannot be written."
written:
    Delete "$PluginDir\${DLL_NAME}"
    IfErrors inUse
    Rename "$PluginDir\${DLL_NAME}.new" "$PluginDir\${DLL_NAME}"
    IfErrors 0 replaced
inUse:
    Delete "$PluginDir\${DLL_NAME}.new"
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$PluginDir\${DLL_NAME} cannot be replaced: Winamp is probably running with Brimwave loaded.$\r$\n$\r$\nClose Winamp and click Retry, or click Cancel to keep the Brimwave you have." /SD IDCANCEL IDRETRY retry
    SetErrorLevel ${ERROR_DLL_IN_USE}
    Abort "Nothing was changed: $PluginDir\${DLL_NAME} is in use."
replaced:
    SetOverwrite on
    File "/oname=$PluginDir\${LICENCE_NAME}" "${LICENSE}"
    WriteUninstaller "$PluginDir\${UNINSTALLER_NAME}"

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Brimwave ${RELEASE} (Winamp visualization plug-in)"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$PluginDir"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$PluginDir\${UNINSTALLER_NAME}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$PluginDir\${UNINSTALLER_NAME}"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$PluginDir\${UNINSTALLER_NAME}" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    SectionGetSize 0 $0
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Uninstall"
unRetry:
    ClearErrors
    Delete "$INSTDIR\${DLL_NAME}"
    IfErrors 0 removed
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$INSTDIR\${DLL_NAME} cannot be removed: Winamp is probably running with Brimwave loaded.$\r$\n$\r$\nClose Winamp and click Retry, or click Cancel to keep Brimwave." /SD IDCANCEL IDRETRY unRetry
    SetErrorLevel ${ERROR_DLL_IN_USE}
    Abort "Nothing was removed: $INSTDIR\${DLL_NAME} is in use."
removed:
    Delete "$INSTDIR\${LICENCE_NAME}"
    Delete "$INSTDIR\${UNINSTALLER_NAME}"
    ; The entry belongs to the last install; another folder's copy keeps it.
    ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 == $INSTDIR
        DeleteRegKey HKCU "${UNINSTALL_KEY}"
    ${EndIf}
    ${If} ${FileExists} "$INSTDIR\plugin.ini"
        DetailPrint "Kept $INSTDIR\plugin.ini: it holds your settings."
    ${EndIf}
SectionEnd
