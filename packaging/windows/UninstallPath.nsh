; The install put bin\ on PATH; taken off again here, a user PATH that the
; install created (empty once ours is gone) goes with it, so PATH is as the
; install found it. The later removal then finds nothing left to do.
Push "$INSTDIR\bin"
Call un.RemoveFromPath
StrCmp $ADD_TO_PATH_ALL_USERS "1" quendrel_path_restored
ClearErrors
ReadRegStr $R0 HKCU "Environment" "PATH"
IfErrors quendrel_path_restored
StrCmp $R0 "" 0 quendrel_path_restored
  DeleteRegValue HKCU "Environment" "PATH"
  SendMessage ${HWND_BROADCAST} ${WM_WININICHANGE} 0 "STR:Environment" /TIMEOUT=5000
quendrel_path_restored:
