; An installer that asks SysFacts all fourteen questions and writes the answers
; to answers.txt beside itself, one line per call:
;   NAME|status|value|entry found below the answer
; A sentinel is pushed below every call's arguments; it must come back intact.
; makensis -DTARGET=amd64-unicode|x86-unicode|x86-ansi -DPLUGINS=DIR -DOUTFILE=FILE sysfacts_answers.nsi

Target ${TARGET}
!addplugindir /${TARGET} "${PLUGINS}"

Name "SysFacts answers"
OutFile "${OUTFILE}"
RequestExecutionLevel user
SilentInstall silent

Var Answers

!macro Ask NAME
  SysFacts::${NAME}
  Pop $0
  Pop $1
  Pop $2
  FileWrite $Answers "${NAME}|$0|$1|$2$\r$\n"
!macroend

; A call without arguments.
!macro Ask_Plain NAME
  Push "sentinel"
  !insertmacro Ask ${NAME}
!macroend

Section
  SetErrorLevel 2
  FileOpen $Answers "$EXEDIR\answers.txt" w
  IfErrors 0 +2
    Abort

  !insertmacro Ask_Plain OS
  !insertmacro Ask_Plain OSVersion
  !insertmacro Ask_Plain FullOS
  !insertmacro Ask_Plain CPU
  !insertmacro Ask_Plain Resolution
  !insertmacro Ask_Plain UserName
  !insertmacro Ask_Plain ShortUserName
  StrCpy $3 $1
  Push "sentinel"
  Push $3
  !insertmacro Ask UserSID
  !insertmacro Ask_Plain AntiVirus
  !insertmacro Ask_Plain FireWall
  !insertmacro Ask_Plain SQLVersion
  !insertmacro Ask_Plain FullSQLVersion
  Push "sentinel"
  Push "Caption"
  Push "Win32_OperatingSystem"
  Push "CIMV2"
  !insertmacro Ask Request
  Push "sentinel"
  Push ""
  Push "Caption"
  Push "Win32_Processor"
  Push "CIMV2"
  !insertmacro Ask Request2

  ; Nothing of the plug-in's may be left behind.
  ClearErrors
  Pop $0
  IfErrors 0 +3
    FileWrite $Answers "stack|empty$\r$\n"
    Goto +2
    FileWrite $Answers "stack|left: $0$\r$\n"
  FileClose $Answers
  SetErrorLevel 0
SectionEnd
