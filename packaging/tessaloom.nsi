; The Windows installer: the program with a Start-menu entry and an uninstaller, and on
; request the simulated microscope as a demo camera. makensis gets the file locations:
;   -DVERSION=1.0.0.0 -DAPP_EXE=… -DSIMCAM_DLL=… -DSIMCAM_EXE=… -DICON=… -DOUT_FILE=…
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true

!include "MUI2.nsh"
!include "x64.nsh"
!include "FileFunc.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tessaloom"
!define SETTINGS_KEY "Software\Tessaloom"
!define SIMCAM_KEY "Software\Tessaloom Simcam"
; The demo camera's own name for the control tool, and the name the program shows.
!define DEMO_CAMERA "TessaloomDemo"
!define DEMO_FRIENDLY "USB Microscope (demo)"
!define IMAGE_FOLDER "Tessaloom Files"

Name "Tessaloom"
OutFile "${OUT_FILE}"
InstallDir "$PROGRAMFILES64\Tessaloom"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
BrandingText "Tessaloom ${VERSION}"

VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=0 "ProductName" "Tessaloom"
VIAddVersionKey /LANG=0 "FileDescription" "Tessaloom Setup"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "LegalCopyright" "Tessaloom"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\tessaloom.exe"
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "SimpChinese"
!insertmacro MUI_LANGUAGE "Japanese"
!insertmacro MUI_RESERVEFILE_LANGDLL

LangString SecProgram ${LANG_ENGLISH} "Tessaloom"
LangString SecProgram ${LANG_SIMPCHINESE} "Tessaloom"
LangString SecProgram ${LANG_JAPANESE} "Tessaloom"
LangString SecDemo ${LANG_ENGLISH} "Simulated microscope (demo camera)"
LangString SecDemo ${LANG_SIMPCHINESE} "模拟显微镜（演示相机）"
LangString SecDemo ${LANG_JAPANESE} "シミュレーション顕微鏡（デモ用カメラ）"
LangString SecSettings ${LANG_ENGLISH} "My settings and calibrations"
LangString SecSettings ${LANG_SIMPCHINESE} "我的设置和校准"
LangString SecSettings ${LANG_JAPANESE} "設定とキャリブレーション"
LangString SecPhotos ${LANG_ENGLISH} "My photos and videos in Documents\${IMAGE_FOLDER}"
LangString SecPhotos ${LANG_SIMPCHINESE} "“文档\${IMAGE_FOLDER}”中的照片和视频"
LangString SecPhotos ${LANG_JAPANESE} "「ドキュメント\${IMAGE_FOLDER}」の写真とビデオ"
LangString UninstallLink ${LANG_ENGLISH} "Uninstall Tessaloom"
LangString UninstallLink ${LANG_SIMPCHINESE} "卸载 Tessaloom"
LangString UninstallLink ${LANG_JAPANESE} "Tessaloom のアンインストール"
LangString DemoFailed ${LANG_ENGLISH} "The simulated microscope could not be registered."
LangString DemoFailed ${LANG_SIMPCHINESE} "无法注册模拟显微镜。"
LangString DemoFailed ${LANG_JAPANESE} "シミュレーション顕微鏡を登録できませんでした。"

Section "$(SecProgram)" SecProgram
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "/oname=tessaloom.exe" "${APP_EXE}"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  SetShellVarContext all
  CreateDirectory "$SMPROGRAMS\Tessaloom"
  CreateShortcut "$SMPROGRAMS\Tessaloom\Tessaloom.lnk" "$INSTDIR\tessaloom.exe"
  CreateShortcut "$SMPROGRAMS\Tessaloom\$(UninstallLink).lnk" "$INSTDIR\Uninstall.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Tessaloom"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tessaloom.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Unticked: a real microscope user does not want a fake camera in the list.
Section /o "$(SecDemo)" SecDemo
  SetOutPath "$INSTDIR"
  File "/oname=simcam.dll" "${SIMCAM_DLL}"
  File "/oname=simcam.exe" "${SIMCAM_EXE}"
  ExecWait '"$INSTDIR\simcam.exe" plug ${DEMO_CAMERA} --friendly "${DEMO_FRIENDLY}"' $0
  StrCmp $0 0 +2
    MessageBox MB_ICONEXCLAMATION|MB_OK "$(DemoFailed)" /SD IDOK
SectionEnd

Section "un.$(SecProgram)" UnSecProgram
  SectionIn RO
  ; The demo camera goes before the files its registration points at.
  IfFileExists "$INSTDIR\simcam.exe" 0 +3
    ExecWait '"$INSTDIR\simcam.exe" unplug ${DEMO_CAMERA}'
    DeleteRegKey /ifempty HKCU "${SIMCAM_KEY}\Cameras"
  DeleteRegKey /ifempty HKCU "${SIMCAM_KEY}"

  Delete "$INSTDIR\tessaloom.exe"
  Delete "$INSTDIR\simcam.dll"
  Delete "$INSTDIR\simcam.exe"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"

  SetShellVarContext all
  Delete "$SMPROGRAMS\Tessaloom\Tessaloom.lnk"
  Delete "$SMPROGRAMS\Tessaloom\$(UninstallLink).lnk"
  RMDir "$SMPROGRAMS\Tessaloom"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd

; The user's own data stays unless asked for.
Section /o "un.$(SecSettings)" UnSecSettings
  DeleteRegKey HKCU "${SETTINGS_KEY}"
SectionEnd

Section /o "un.$(SecPhotos)" UnSecPhotos
  SetShellVarContext current
  RMDir /r "$DOCUMENTS\${IMAGE_FOLDER}"
SectionEnd

; /DEMO on the command line ticks the simulated microscope (for silent installs).
Function .onInit
  SetRegView 64
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/DEMO" $1
  IfErrors +2
    SectionSetFlags ${SecDemo} ${SF_SELECTED}
  !insertmacro MUI_LANGDLL_DISPLAY
FunctionEnd

Function un.onInit
  SetRegView 64
  !insertmacro MUI_UNGETLANGUAGE
FunctionEnd
