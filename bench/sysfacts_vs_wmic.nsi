; Reads four facts ROUNDS times through SysFacts and ROUNDS times through the
; route a script takes without a plug-in (nsExec::ExecToStack running wmic),
; timing each inside the installer, and writes "FACT|sysfacts ms|wmic ms" lines
; to timings.txt beside itself.
; makensis -DPLUGINS=DIR -DROUNDS=N -DOUTFILE=FILE sysfacts_vs_wmic.nsi

Target amd64-unicode
!addplugindir /amd64-unicode "${PLUGINS}"

Name "SysFacts against wmic"
OutFile "${OUTFILE}"
RequestExecutionLevel user
SilentInstall silent

Var Timings

!macro Time FACT EXPORT WMIC
  System::Call 'kernel32::GetTickCount() i .r5'
  StrCpy $4 0
  loop_sysfacts_${FACT}:
    SysFacts::${EXPORT}
    Pop $0
    Pop $1
    IntOp $4 $4 + 1
    IntCmp $4 ${ROUNDS} 0 loop_sysfacts_${FACT}
  System::Call 'kernel32::GetTickCount() i .r6'
  IntOp $7 $6 - $5
  StrCpy $4 0
  loop_wmic_${FACT}:
    nsExec::ExecToStack 'wmic ${WMIC}'
    Pop $0
    Pop $1
    IntOp $4 $4 + 1
    IntCmp $4 ${ROUNDS} 0 loop_wmic_${FACT}
  System::Call 'kernel32::GetTickCount() i .r5'
  IntOp $8 $5 - $6
  FileWrite $Timings "${FACT}|$7|$8$\r$\n"
!macroend

Section
  SetErrorLevel 2
  FileOpen $Timings "$EXEDIR\timings.txt" w
  !insertmacro Time Caption OS "os get Caption /value"
  !insertmacro Time Version OSVersion "os get Version /value"
  !insertmacro Time Processor CPU "cpu get Caption /value"
  !insertmacro Time UserName UserName "computersystem get UserName /value"
  FileClose $Timings
  SetErrorLevel 0
SectionEnd
