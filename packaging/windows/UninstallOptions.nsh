; The uninstaller keeps the user's settings (the registry key, the program
; folder under %LOCALAPPDATA% with its Velko.ini and logs) unless the box on
; its components page is ticked, or /REMOVE_SETTINGS is given to a silent run.
!include Sections.nsh

Section /o "un.Also remove my settings and logs" quendrel_un_settings
SectionEnd

Section "-un.Quendrel settings"
  SectionGetFlags ${quendrel_un_settings} $R1
  IntOp $R1 $R1 & ${SF_SELECTED}
  IntCmp $R1 ${SF_SELECTED} quendrel_remove_settings
  ${un.GetParameters} $R0
  ClearErrors
  ${un.GetOptions} $R0 "/REMOVE_SETTINGS" $R2
  IfErrors quendrel_keep_settings
quendrel_remove_settings:
  DeleteRegKey HKCU "Software\Velko\Velko Sync Tool"
  DeleteRegKey /ifempty HKCU "Software\Velko"
  ; The user's own folder, whatever shell context the uninstaller runs in.
  ReadEnvStr $R3 LOCALAPPDATA
  StrCmp $R3 "" quendrel_keep_settings
  RMDir /r "$R3\Quendrel"
quendrel_keep_settings:
SectionEnd
