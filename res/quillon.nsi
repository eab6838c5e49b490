; The Windows installer (makensis; cmake/windows.cmake builds it with `make windows`): the window,
; the command-line tool and the simulator into Program Files, Start-menu entries for the window
; and for a command prompt with quillon-cli on its path, an uninstaller that removes all of it.
; The firewall: inbound rules for UDP port 1901, for the window and for quillon-cli (the private and
; domain profiles), so that the devices' replies reach them; a rule that cannot be added is said in
; the installer's log and the installation goes on; the uninstaller removes exactly these rules.
; "quillon-VERSION-windows-x64-setup.exe /S" installs without a question, for fleets of laptops;
; /D=FOLDER (last on the command line) installs elsewhere; "uninstall.exe /S" removes silently.
;
; Given by cmake/windows.cmake: VERSION (2.3), SOURCE (the source tree), BUILD (the Windows
; build folder) and OUTFILE.
; A 64-bit installer, as the programs are: it runs where they run, and writes the 64-bit
; Program Files and registry.
Target amd64-unicode

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillon"
!define MENU "$SMPROGRAMS\Quillon"
!define PROMPT_LINK "Quillon 命令提示符 (quillon-cli).lnk"
!define UNINSTALL_LINK "卸载 Quillon.lnk"
!define NETSH "$SYSDIR\netsh.exe"
!define RULE_WINDOW "Quillon (quillon.exe, UDP 1901)"
!define RULE_CLI "Quillon (quillon-cli.exe, UDP 1901)"

; Removes the rule NAME of PROGRAM, if there is one: before it is added (a second installation
; over the first keeps one rule) and by the uninstaller.
!macro DeleteFirewallRule NAME PROGRAM
  nsExec::Exec '"${NETSH}" advfirewall firewall delete rule name="${NAME}" dir=in program="${PROGRAM}"'
  Pop $0
!macroend

; An inbound rule that lets the devices' replies (UDP, to port 1901) reach PROGRAM.
!macro AddFirewallRule NAME PROGRAM
  !insertmacro DeleteFirewallRule "${NAME}" "${PROGRAM}"
  nsExec::ExecToLog '"${NETSH}" advfirewall firewall add rule name="${NAME}" dir=in action=allow protocol=UDP localport=1901 program="${PROGRAM}" profile=private,domain enable=yes'
  Pop $0
  StrCmp $0 0 +3
    DetailPrint "未能添加防火墙规则“${NAME}”（netsh：$0）：请手动允许 ${PROGRAM} 接收 UDP 1901 端口（见 README.txt）"
    Goto +2
    DetailPrint "已添加防火墙规则“${NAME}”：UDP 1901 入站，专用和域网络"
!macroend

Name "Quillon ${VERSION}"
Caption "Quillon ${VERSION} 安装"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Quillon"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
Icon "${SOURCE}/res/quillon.ico"
UninstallIcon "${SOURCE}/res/quillon.ico"
LoadLanguageFile "${NSISDIR}/Contrib/Language files/SimpChinese.nlf"
BrandingText "Quillon ${VERSION}"

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=2052 "ProductName" "Quillon"
VIAddVersionKey /LANG=2052 "FileDescription" "Quillon ${VERSION} 安装程序"
VIAddVersionKey /LANG=2052 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "LegalCopyright" "Quillon"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Quillon"
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File "${BUILD}/quillon.exe"
  File "${BUILD}/tools/cli/quillon-cli.exe"
  File "${BUILD}/tools/devsim/quillon-devsim.exe"
  File "/oname=README.txt" "${SOURCE}/docs/windows/README.txt"
  ; What the command-prompt entry runs: quillon-cli on the path, in the user's own folder.
  FileOpen $0 "$INSTDIR\quillon-prompt.cmd" w
  FileWrite $0 '@echo off$\r$\nset "PATH=%~dp0;%PATH%"$\r$\ncd /d "%USERPROFILE%"$\r$\nquillon-cli.exe --help$\r$\n'
  FileClose $0
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateDirectory "${MENU}"
  CreateShortCut "${MENU}\Quillon.lnk" "$INSTDIR\quillon.exe"
  CreateShortCut "${MENU}\${PROMPT_LINK}" "$WINDIR\System32\cmd.exe" \
    '/k "$INSTDIR\quillon-prompt.cmd"' "$INSTDIR\quillon-cli.exe"
  CreateShortCut "${MENU}\${UNINSTALL_LINK}" "$INSTDIR\uninstall.exe"

  !insertmacro AddFirewallRule "${RULE_WINDOW}" "$INSTDIR\quillon.exe"
  !insertmacro AddFirewallRule "${RULE_CLI}" "$INSTDIR\quillon-cli.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Quillon ${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Quillon"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\quillon.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  !insertmacro DeleteFirewallRule "${RULE_WINDOW}" "$INSTDIR\quillon.exe"
  !insertmacro DeleteFirewallRule "${RULE_CLI}" "$INSTDIR\quillon-cli.exe"
  Delete "${MENU}\Quillon.lnk"
  Delete "${MENU}\${PROMPT_LINK}"
  Delete "${MENU}\${UNINSTALL_LINK}"
  RMDir "${MENU}"
  Delete "$INSTDIR\quillon.exe"
  Delete "$INSTDIR\quillon-cli.exe"
  Delete "$INSTDIR\quillon-devsim.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\quillon-prompt.cmd"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
