# Sourced by the Wine window runs: one FTDI adapter on COM5 in the driver's
# enumeration of the prefix's registry, as adapter discovery finds a plugged-in one.
ftdi_enum='HKLM\SYSTEM\ControlSet001\Services\FTSER2K'

unseed_adapter() {
  wine reg delete "$ftdi_enum" /f >/dev/null 2>&1 || true
  wine reg delete 'HKLM\SYSTEM\ControlSet001\Enum\FTDIBUS' /f >/dev/null 2>&1 || true
}

seed_adapter() {  # SERIAL
  local id="FTDIBUS\\VID_0403+PID_6001+$1\\0000"
  wine reg add "$ftdi_enum\\Enum" /v Count /t REG_DWORD /d 1 /f >/dev/null
  wine reg add "$ftdi_enum\\Enum" /v 0 /t REG_SZ /d "$id" /f >/dev/null
  wine reg add "HKLM\\SYSTEM\\ControlSet001\\Enum\\$id\\Device Parameters" /v PortName /t REG_SZ /d COM5 /f >/dev/null
}
