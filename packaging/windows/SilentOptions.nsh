; A silent install (/S) shows no options page: /ADD_TO_PATH=ALL or =USER and
; /DESKTOP_ICON choose there what the page would, before its answers are read.
${GetParameters} $R0
ClearErrors
${GetOptions} $R0 "/DESKTOP_ICON" $R1
IfErrors quendrel_no_desktop
  !insertmacro MUI_INSTALLOPTIONS_WRITE "NSIS.InstallOptions.ini" "Field 5" "State" "1"
quendrel_no_desktop:
ClearErrors
${GetOptions} $R0 "/ADD_TO_PATH=" $R1
StrCmp $R1 "ALL" 0 quendrel_path_user
  !insertmacro MUI_INSTALLOPTIONS_WRITE "NSIS.InstallOptions.ini" "Field 2" "State" "0"
  !insertmacro MUI_INSTALLOPTIONS_WRITE "NSIS.InstallOptions.ini" "Field 3" "State" "1"
  Goto quendrel_path_done
quendrel_path_user:
StrCmp $R1 "USER" 0 quendrel_path_done
  !insertmacro MUI_INSTALLOPTIONS_WRITE "NSIS.InstallOptions.ini" "Field 2" "State" "0"
  !insertmacro MUI_INSTALLOPTIONS_WRITE "NSIS.InstallOptions.ini" "Field 4" "State" "1"
quendrel_path_done:
