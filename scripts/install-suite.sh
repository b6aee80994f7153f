#!/usr/bin/env bash
# Installs the stand-in suite into a Wine prefix as an installation would:
# the executables in C:\Program Files\Vestrel, registered under App Paths as
# Vestrel.exe, the libraries in the system directory; then registers it.
#   install-suite.sh PREFIX LOADER SUITE_BUILD_DIR
set -euo pipefail
prefix=$1 loader=$2 suite=$3
here=$(dirname "$0")
run() { "$here/wine-exec.sh" "$prefix" "$loader" "$@" </dev/null >/dev/null 2>&1; }

# Make sure the prefix exists before copying into it.
run cmd /c exit
install_dir="$prefix/drive_c/Program Files/Vestrel"
system_dir="$prefix/drive_c/windows/system32"
mkdir -p "$install_dir"
for exe in Corvane Sulvary Brenlow Ladrisk Omberly Vestrel; do
  cp "$suite/$exe.exe" "$install_dir/"
done
for library in Glimmet.ocx Daskel.dll Wrenna.dll; do
  cp "$suite/$library" "$system_dir/"
done
run reg add 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\Vestrel.exe' /ve \
  /d 'C:\Program Files\Vestrel\Vestrel.exe' /f
for exe in Corvane Sulvary Brenlow Ladrisk Omberly Vestrel; do
  run "C:\\Program Files\\Vestrel\\$exe.exe"
done
for library in Glimmet.ocx Daskel.dll Wrenna.dll; do
  run regsvr32 /s "C:\\windows\\system32\\$library"
done
