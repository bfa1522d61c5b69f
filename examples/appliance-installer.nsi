; Example installer for the Kestal appliance: a starting point for installer
; authors. It reads host facts with SysFacts, installs the start-up service with
; its start and stop commands, and points the appliance VM's network bridge at
; a working host adapter with bridgefix.
;
; Build (from this folder, with the kit's dist/ beside it):
;   makensis appliance-installer.nsi                          (amd64-unicode)
;   makensis -DKIT_TARGET=x86-unicode appliance-installer.nsi (32-bit, Unicode)
;   makensis -DKIT_TARGET=x86-ansi appliance-installer.nsi    (32-bit, ANSI)
; Other defines: KIT_DIST (the kit's dist folder), VM_NAME, VM_START_COMMAND,
; VM_STOP_COMMAND, OUTFILE.
;
; Run silently: appliance-setup.exe /S [/D=C:\install\folder]
; Exit code: 0 installed; 2 the service could not be installed.

!ifndef KIT_TARGET
  !define KIT_TARGET amd64-unicode
!endif
!ifndef KIT_DIST
  !define KIT_DIST "..\dist"
!endif
!ifndef VM_NAME
  !define VM_NAME "Kestal Appliance"
!endif
!ifndef VBOXMANAGE
  !define VBOXMANAGE "$PROGRAMFILES64\Oracle\VirtualBox\VBoxManage.exe"
!endif
!ifndef VM_START_COMMAND
  !define VM_START_COMMAND '"${VBOXMANAGE}" startvm "${VM_NAME}" --type headless'
!endif
!ifndef VM_STOP_COMMAND
  !define VM_STOP_COMMAND '"${VBOXMANAGE}" controlvm "${VM_NAME}" acpipowerbutton'
!endif
!ifndef OUTFILE
  !define OUTFILE "appliance-setup-${KIT_TARGET}.exe"
!endif

Target ${KIT_TARGET}
!if "${KIT_TARGET}" == "amd64-unicode"
  !define KIT_ARCH x64
!else
  !define KIT_ARCH x86
!endif
; Each installer target needs the SysFacts flavour of the same name.
!addplugindir /${KIT_TARGET} "${KIT_DIST}/Plugins/${KIT_TARGET}"

!include LogicLib.nsh

!define INSTALLER_KEY "Software\Kestal\crm-ks-installer"

Name "Kestal appliance"
OutFile "${OUTFILE}"
RequestExecutionLevel admin
InstallDir "$PROGRAMFILES\Kestal\VmKestal"
ShowInstDetails show

Var Facts

; Calls one SysFacts export and writes "Label: answer" to the facts file.
; The answer is two stack entries: the status word on top, the value below.
!macro Fact EXPORT LABEL
  SysFacts::${EXPORT}
  Pop $0 ; "ok" or "error"
  Pop $1 ; the value, or the error text
  ${If} $0 == "ok"
    FileWrite $Facts "${LABEL}: $1$\r$\n"
  ${Else}
    FileWrite $Facts "${LABEL}: unknown ($1)$\r$\n"
  ${EndIf}
!macroend

!if "${KIT_ARCH}" == "x64"
Function .onInit
  StrCpy $INSTDIR "$PROGRAMFILES64\Kestal\VmKestal"
FunctionEnd
!endif

Section "Host facts"
  SetOutPath "$INSTDIR"
  FileOpen $Facts "$INSTDIR\host-facts.txt" w
  !insertmacro Fact FullOS "Windows"
  !insertmacro Fact CPU "Processor"
  !insertmacro Fact Resolution "Screen"
  !insertmacro Fact UserName "User"

  ; Branch on the status word: the SID needs the short user name.
  SysFacts::ShortUserName
  Pop $0
  Pop $1
  ${If} $0 == "ok"
  ${AndIf} $1 != ""
    Push $1
    !insertmacro Fact UserSID "User SID"
  ${EndIf}

  !insertmacro Fact AntiVirus "Antivirus"
  !insertmacro Fact FireWall "Firewall"

  ; SQL Server is optional: "error" here means there is none.
  SysFacts::FullSQLVersion
  Pop $0
  Pop $1
  ${If} $0 == "ok"
    FileWrite $Facts "SQL Server: $1$\r$\n"
  ${Else}
    FileWrite $Facts "SQL Server: none$\r$\n"
  ${EndIf}

  ; Any WMI property: namespace on top, then class, property, condition.
  Push "Name = 'explorer.exe'"
  Push "ProcessId"
  Push "Win32_Process"
  Push "CIMV2"
  SysFacts::Request2
  Pop $0
  Pop $1
  ${If} $0 == "ok"
    FileWrite $Facts "Explorer process: $1$\r$\n"
  ${EndIf}
  FileClose $Facts
SectionEnd

Section "Start-up service"
  SetOutPath "$INSTDIR"
  File "${KIT_DIST}/${KIT_ARCH}/vmservice.exe"
  File "${KIT_DIST}/${KIT_ARCH}/bridgefix.exe"

  ; The service reads these from the registry view of its own bitness, which
  ; is this installer's default view: the 32-bit installer writes the 32-bit
  ; view (Wow6432Node on 64-bit Windows) that the 32-bit service reads.
  WriteRegStr HKLM "${INSTALLER_KEY}" "ServiceStart" '${VM_START_COMMAND}'
  WriteRegStr HKLM "${INSTALLER_KEY}" "ServiceStop" '${VM_STOP_COMMAND}'

  ; Prints "Service installed successfully", or "CreateService failed (1073)"
  ; when an earlier installation registered it already; exit code always 0.
  nsExec::ExecToLog '"$INSTDIR\vmservice.exe" install'
  Pop $0
  ; Check the registration itself rather than the exit code.
  nsExec::ExecToStack 'sc query VmKestal-svc'
  Pop $0
  Pop $1
  ${If} $0 != 0
    DetailPrint "The start-up service is not registered: $1"
    SetErrorLevel 2
    Abort
  ${EndIf}
SectionEnd

Section "Network bridge"
  ; Exit code 1 only when the host's adapters cannot be listed; the output says
  ; what was changed ("Change to: ...").
  nsExec::ExecToLog '"$INSTDIR\bridgefix.exe" "${VM_NAME}"'
  Pop $0
  ${If} $0 != 0
    DetailPrint "bridgefix could not list the host's network adapters ($0)"
  ${EndIf}
SectionEnd
