; SPDX-License-Identifier: MIT
; The Windows installer of the viewer, tkmtool and larkspur, made by dist.sh:
;   makensis -DVERSION=1.0.0 -DSTAGE=DIR -DREMOVE=FILE.nsh -DSIZE_KB=N -DOUTFILE=SETUP.exe \
;            -DICON=DIR/tarvik.ico
; STAGE holds what is installed, laid out as in the install folder, the page README.html and the
; program's icon ICON among it; REMOVE lists its files and folders for the uninstaller, which
; removes only what this installer put there.
;
; 64-bit and Unicode: the default x86 installer, run silently under a 64-bit-only Wine, installs
; nothing and still exits 0, and a 64-bit installer sees the 64-bit Program Files and registry.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true

!ifndef VERSION | STAGE | REMOVE | SIZE_KB | OUTFILE | ICON
  !error "VERSION, STAGE, REMOVE, SIZE_KB, OUTFILE and ICON must be defined (makensis -DNAME=VALUE)"
!endif

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "WinMessages.nsh"
!include "WordFunc.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\tarvik"
; The Start menu's folder of the program, in every user's Start menu: the install is for all.
!define START_MENU "$SMPROGRAMS\tarvik"
!define MANUAL_LINK "tarvik manual.lnk"
!define VIEWER_LINK "tarvik.lnk"
; "Open with" for the model files: one class of the viewer's own, listed under each extension, so
; that no program's own association is taken over and the uninstaller takes out only its own.
!define MODEL_CLASS "tarvik.model"
!define CLASSES "Software\Classes"
!define APPLICATION_KEY "${CLASSES}\Applications\tarvik.exe"
!macro for_each_model_extension MACRO
  !insertmacro ${MACRO} ".tkm"
  !insertmacro ${MACRO} ".tka"
  !insertmacro ${MACRO} ".ms3d"
  !insertmacro ${MACRO} ".gltf"
  !insertmacro ${MACRO} ".glb"
!macroend
!macro add_open_with EXTENSION
  WriteRegStr HKLM "${CLASSES}\${EXTENSION}\OpenWithProgids" "${MODEL_CLASS}" ""
  WriteRegStr HKLM "${APPLICATION_KEY}\SupportedTypes" "${EXTENSION}" ""
!macroend
!macro remove_open_with EXTENSION
  DeleteRegValue HKLM "${CLASSES}\${EXTENSION}\OpenWithProgids" "${MODEL_CLASS}"
  DeleteRegKey /ifempty HKLM "${CLASSES}\${EXTENSION}\OpenWithProgids"
  DeleteRegKey /ifempty HKLM "${CLASSES}\${EXTENSION}"
!macroend
; Tells Explorer that the associations changed (SHCNE_ASSOCCHANGED).
!macro associations_changed
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
!macroend
; The user's own environment: a change there needs no administrator and reaches new consoles.
!define USER_ENVIRONMENT "Environment"

Name "tarvik ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\tarvik"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
ShowInstDetails show
ShowUnInstDetails show

!define MUI_ABORTWARNING
!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_COMPONENTSPAGE_SMALLDESC
!insertmacro MUI_PAGE_LICENSE "${STAGE}/LICENSE.txt"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; ReadRegStr's buffer: a longer PATH cannot be read whole, and writing back a part would lose
; the rest of the user's PATH.
!define /math PATH_LIMIT ${NSIS_MAX_STRLEN} - 1

; read_user_path: the user's PATH in $0 (empty when there is none); the error flag set when it is
; too long to be read whole.
!macro read_user_path
  ClearErrors
  ReadRegStr $0 HKCU "${USER_ENVIRONMENT}" "Path"
  ${If} ${Errors}
    ; No value is no error: only a value too long for the buffer is.
    StrCpy $0 ""
    !ifdef __UNINSTALL__
      Call un.user_path_exists
    !else
      Call user_path_exists
    !endif
    Pop $9
    ${If} $9 == 0
      ClearErrors
    ${Else}
      SetErrors
    ${EndIf}
  ${Else}
    StrLen $9 $0
    ${If} $9 >= ${PATH_LIMIT}
      SetErrors
    ${EndIf}
  ${EndIf}
!macroend

; write_user_path: $0 becomes the user's PATH (removed when empty), and running programs such as
; Explorer are told, so that consoles opened from then on see it.
!macro write_user_path
  ${If} $0 == ""
    DeleteRegValue HKCU "${USER_ENVIRONMENT}" "Path"
  ${Else}
    WriteRegExpandStr HKCU "${USER_ENVIRONMENT}" "Path" $0
  ${EndIf}
  SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
!macroend

; Pushes 1 when the user's environment has a Path value, whatever its length, else 0.
!macro define_user_path_exists PREFIX
Function ${PREFIX}user_path_exists
  Push $1
  Push $2
  StrCpy $1 0
  StrCpy $2 0
  ${Do}
    ClearErrors
    EnumRegValue $2 HKCU "${USER_ENVIRONMENT}" $1
    ${If} ${Errors}
    ${OrIf} $2 == ""
      StrCpy $2 0
      ${ExitDo}
    ${EndIf}
    ; Value names are case-blind, as is this comparison.
    ${If} $2 == "Path"
      StrCpy $2 1
      ${ExitDo}
    ${EndIf}
    IntOp $1 $1 + 1
  ${Loop}
  Exch $2
  Exch
  Pop $1
FunctionEnd
!macroend
!insertmacro define_user_path_exists ""
!insertmacro define_user_path_exists "un."

Section "tarvik, tkmtool and larkspur" section_files
  SectionIn RO
  SetOutPath "$INSTDIR"
  File /r "${STAGE}/*"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "tarvik ${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "tarvik"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tarvik.ico"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
  ; The page for Windows users, which is where a first look at the programs starts.
  SetShellVarContext all
  CreateDirectory "${START_MENU}"
  CreateShortcut "${START_MENU}\${MANUAL_LINK}" "$INSTDIR\README.html" "" "$INSTDIR\tarvik.ico" 0
  ; The viewer starts in the samples' folder, where its choosers then open.
  SetOutPath "$INSTDIR\samples"
  CreateShortcut "${START_MENU}\${VIEWER_LINK}" "$INSTDIR\bin\tarvik.exe" "" "$INSTDIR\bin\tarvik.exe" 0
  SetOutPath "$INSTDIR"
  ; A model opened from Explorer starts the viewer with it.
  WriteRegStr HKLM "${CLASSES}\${MODEL_CLASS}" "" "SWAT model"
  WriteRegStr HKLM "${CLASSES}\${MODEL_CLASS}\DefaultIcon" "" "$INSTDIR\tarvik.ico"
  WriteRegStr HKLM "${CLASSES}\${MODEL_CLASS}\shell\open\command" "" '"$INSTDIR\bin\tarvik.exe" "%1"'
  WriteRegStr HKLM "${APPLICATION_KEY}" "FriendlyAppName" "tarvik"
  WriteRegStr HKLM "${APPLICATION_KEY}\shell\open\command" "" '"$INSTDIR\bin\tarvik.exe" "%1"'
  !insertmacro for_each_model_extension add_open_with
  !insertmacro associations_changed
SectionEnd

Section "Put tkmtool on your PATH" section_path
  StrCpy $1 "$INSTDIR\bin"
  !insertmacro read_user_path
  ${If} ${Errors}
    DetailPrint "Your PATH is too long to be changed here: add $1 to it yourself"
    Return
  ${EndIf}
  ${WordAdd} "$0" ";" "+$1" $2
  ${If} $2 != $0
    StrCpy $0 $2
    !insertmacro write_user_path
    ; The uninstaller takes out only an entry this installer put in.
    WriteRegStr HKLM "${UNINSTALL_KEY}" "PathEntry" $1
  ${EndIf}
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${section_files} \
    "The viewer tarvik.exe, tkmtool.exe, the sample models, larkspur.dll with its headers and import library, the manual and the licences"
  !insertmacro MUI_DESCRIPTION_TEXT ${section_path} \
    "Adds the folder of tkmtool.exe to your PATH, so that a console finds tkmtool"
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Section "Uninstall"
  ClearErrors
  ReadRegStr $1 HKLM "${UNINSTALL_KEY}" "PathEntry"
  ${IfNot} ${Errors}
  ${AndIf} $1 != ""
    !insertmacro read_user_path
    ${If} ${Errors}
      DetailPrint "Your PATH is too long to be changed here: remove $1 from it yourself"
    ${Else}
      ${WordAdd} "$0" ";" "-$1" $2
      ${If} $2 != $0
        StrCpy $0 $2
        !insertmacro write_user_path
      ${EndIf}
    ${EndIf}
  ${EndIf}
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  !insertmacro for_each_model_extension remove_open_with
  DeleteRegKey HKLM "${APPLICATION_KEY}"
  DeleteRegKey HKLM "${CLASSES}\${MODEL_CLASS}"
  !insertmacro associations_changed
  SetShellVarContext all
  Delete "${START_MENU}\${MANUAL_LINK}"
  Delete "${START_MENU}\${VIEWER_LINK}"
  RMDir "${START_MENU}"
  !include "${REMOVE}"
  Delete "$INSTDIR\uninstall.exe"
  ; Last, so that the folder's going means the rest has gone; a folder the user filled stays.
  RMDir "$INSTDIR"
SectionEnd
