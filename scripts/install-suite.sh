#!/usr/bin/env bash
# Installs the stand-in suite into a Wine prefix as an installation would:
# the executables in C:\Program Files\Vestrel, registered under App Paths as
# Vestrel.exe, the libraries in the system directory; then registers it.
#   install-suite.sh PREFIX LOADER SUITE_BUILD_DIR
set -euo pipefail
prefix=$1 loader=$2 suite=$3
source "$(dirname "$0")/common.sh"
wine=("$(dirname "$0")/wine-exec.sh" "$prefix" "$loader")

for file in Corvane.exe Sulvary.exe Brenlow.exe Ladrisk.exe Omberly.exe Vestrel.exe Glimmet.ocx Daskel.dll Wrenna.dll; do
  [ -f "$suite/$file" ] || { echo "FAILED: the suite's $file is not in $suite; build it first" >&2; exit 1; }
done

step "creating the Wine prefix $prefix" "${wine[@]}" cmd /c exit
install_dir="$prefix/drive_c/Program Files/Vestrel"
# Where the suite's programs, and so the regsvr32 that registers them, find
# C:\windows\system32: the libraries have the bitness of the build under test.
system_dir=$(system_folder "$prefix" "$suite/Glimmet.ocx")
mkdir -p "$install_dir"
for exe in Corvane Sulvary Brenlow Ladrisk Omberly Vestrel; do
  cp "$suite/$exe.exe" "$install_dir/"
done
for library in Glimmet.ocx Daskel.dll Wrenna.dll; do
  cp "$suite/$library" "$system_dir/"
done
step "registering Vestrel.exe under App Paths" \
  "${wine[@]}" reg add 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\Vestrel.exe' /ve \
  /d 'C:\Program Files\Vestrel\Vestrel.exe' /f
for exe in Corvane Sulvary Brenlow Ladrisk Omberly Vestrel; do
  step "starting $exe.exe, which registers its classes" "${wine[@]}" "C:\\Program Files\\Vestrel\\$exe.exe"
done
for library in Glimmet.ocx Daskel.dll Wrenna.dll; do
  step "registering $library with regsvr32 (exit 3: cannot load it, 4: no DllRegisterServer, 5: it failed)" \
    "${wine[@]}" regsvr32 /s "C:\\windows\\system32\\$library"
done
