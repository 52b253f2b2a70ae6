; The setup program of Vantoril for Windows, made by scripts/package.sh:
;   makensis -DVERSION=x.y.z -DPROGRAM=vantoril.exe -DCONSOLE=vantoril.com -DREADME=README.txt
;            -DICON=vantoril.ico -DLICENCE=LICENSE.txt -DGUIDE=guide.html -DOUTFILE=setup.exe vantoril.nsi
; Installs for the current user, with no administrator rights, into
; %LOCALAPPDATA%\Programs\Vantoril, a folder the user may write, so that the
; places (WebSite) and the data (WeatherData) stay beside the program. The
; uninstaller turns recording on a schedule off, removes the program and
; keeps them. /S runs either silently; a silent run that cannot finish ends
; with a non-zero exit code.
; A 64-bit setup program for the 64-bit program: it runs where no 32-bit
; layer is installed (a Windows on ARM without x86 emulation, a wine64).
Target amd64-unicode
!macro REQUIRE NAME
  !ifndef ${NAME}
    !error "${NAME} is not defined: makensis -DVERSION=x.y.z -DPROGRAM=... -DICON=... -DOUTFILE=... vantoril.nsi"
  !endif
!macroend
!insertmacro REQUIRE VERSION
!insertmacro REQUIRE PROGRAM
!insertmacro REQUIRE CONSOLE
!insertmacro REQUIRE README
!insertmacro REQUIRE ICON
!insertmacro REQUIRE LICENCE
!insertmacro REQUIRE OUTFILE

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vantoril"

Name "Vantoril ${VERSION}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\Vantoril"
SetCompressor /SOLID lzma
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "Vantoril"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "Vantoril ${VERSION} setup"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright 2026 Vantoril maintainers"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!insertmacro MUI_PAGE_LICENSE "${LICENCE}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"
!insertmacro MUI_LANGUAGE "English"

LangString Running ${LANG_SIMPCHINESE} "Vantoril 正在运行（$INSTDIR\vantoril.exe 无法写入）。请关闭它，然后点“重试”；点“取消”则不做任何改动。"
LangString Running ${LANG_ENGLISH} "Vantoril is running ($INSTDIR\vantoril.exe cannot be written). Close it, then choose Retry; Cancel changes nothing."
LangString NotChanged ${LANG_SIMPCHINESE} "Vantoril 正在运行：什么也没有改动。"
LangString NotChanged ${LANG_ENGLISH} "Vantoril is running: nothing was changed."
LangString ScheduleOff ${LANG_SIMPCHINESE} "定时记录已关闭（任务计划程序中的任务 \Vantoril\vantoril-record 已删除）。"
LangString ScheduleOff ${LANG_ENGLISH} "Recording on a schedule is off (the task \Vantoril\vantoril-record is deleted)."
LangString ScheduleLeft ${LANG_SIMPCHINESE} "无法关闭定时记录（vantoril --schedule off 的退出码为 $0）；请在任务计划程序中删除任务 \Vantoril\vantoril-record。"
LangString ScheduleLeft ${LANG_ENGLISH} "Recording on a schedule could not be turned off (vantoril --schedule off gave $0); delete the task \Vantoril\vantoril-record in the Task Scheduler."
LangString Kept ${LANG_SIMPCHINESE} "地点（WebSite）和数据（WeatherData）保留在 $INSTDIR。"
LangString Kept ${LANG_ENGLISH} "The places (WebSite) and the data (WeatherData) are kept in $INSTDIR."

; A running copy holds vantoril.exe open, and Windows refuses to write it.
; Stops before anything changes: Retry, or Cancel (what a silent run does),
; which ends the run with exit code 2 and the program as it was.
!macro WAIT_UNTIL_WRITABLE UN
Function ${UN}waitUntilWritable
  retry:
  IfFileExists "$INSTDIR\vantoril.exe" 0 done
  ClearErrors
  FileOpen $0 "$INSTDIR\vantoril.exe" a
  IfErrors busy
  FileClose $0
  Goto done
  busy:
  MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(Running)" /SD IDCANCEL IDRETRY retry
  Abort "$(NotChanged)"
  done:
FunctionEnd
!macroend
!insertmacro WAIT_UNTIL_WRITABLE ""
!insertmacro WAIT_UNTIL_WRITABLE "un."

Section "Vantoril"
  Call waitUntilWritable
  SetOutPath "$INSTDIR"
  File "/oname=vantoril.exe" "${PROGRAM}"
  File "/oname=vantoril.com" "${CONSOLE}"
  File "/oname=README.txt" "${README}"
  File "/oname=LICENSE.txt" "${LICENCE}"
  File "/oname=guide.html" "${GUIDE}"
  CreateDirectory "$INSTDIR\WebSite"
  CreateDirectory "$INSTDIR\WeatherData"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Vantoril.lnk" "$INSTDIR\vantoril.exe"

  ; The user's "Apps" list.
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Vantoril"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\vantoril.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Vantoril"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  ; Run in place (_?=), so that its exit code is the uninstall's own: 2 when
  ; the program runs and nothing changed, 0 when it removed the program.
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S _?=$INSTDIR'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/M=*.exe /S=0K /G=0" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Uninstall"
  Call un.waitUntilWritable
  ; The schedule's task would start a program no longer there: the program
  ; itself removes it first.
  ${If} ${FileExists} "$INSTDIR\vantoril.exe"
    ExecWait '"$INSTDIR\vantoril.exe" --schedule off' $0
    ${If} $0 == 0
      DetailPrint "$(ScheduleOff)"
    ${Else}
      DetailPrint "$(ScheduleLeft)"
    ${EndIf}
  ${EndIf}
  Delete "$INSTDIR\vantoril.exe"
  Delete "$INSTDIR\vantoril.com"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\guide.html"
  Delete "$SMPROGRAMS\Vantoril.lnk"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  Delete "$INSTDIR\uninstall.exe"
  ; The places and the data stay; only empty folders go.
  RMDir "$INSTDIR\WebSite"
  RMDir "$INSTDIR\WeatherData"
  RMDir "$INSTDIR"
  ; Run in place (_?=), the uninstaller cannot delete itself while it runs:
  ; a hidden command deletes it, and the folder if then empty, once it ends.
  ${If} ${FileExists} "$INSTDIR\uninstall.exe"
    ExecShell "" "$SYSDIR\cmd.exe" '/c for /l %i in (1,1,20) do (del /f /q "$INSTDIR\uninstall.exe" 2>nul & if not exist "$INSTDIR\uninstall.exe" (rmdir "$INSTDIR" 2>nul & exit) & ping -n 2 127.0.0.1 >nul)' SW_HIDE
  ${EndIf}
  ${If} ${FileExists} "$INSTDIR\WebSite\*.*"
  ${OrIf} ${FileExists} "$INSTDIR\WeatherData\*.*"
    DetailPrint "$(Kept)"
    MessageBox MB_OK|MB_ICONINFORMATION "$(Kept)" /SD IDOK
  ${EndIf}
SectionEnd
