#!/usr/bin/env bash
# Checks what a Windows user receives, as built: WizardSetup.exe is a 32-bit
# Windows program that needs no DLL beyond the system's own and fits its
# budget; the icons hold 16x16 and 32x32 images; the zip holds the tool
# folder, and the MSI's tables install it and run the tool where they must.
#
#   check_release.sh BUILD_DIR VERSION
set -u
build=${1:?usage: check_release.sh BUILD_DIR VERSION}
version=${2:?usage: check_release.sh BUILD_DIR VERSION}
exe=$build/WizardSetup.exe
budget=24576
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

format=$(i686-w64-mingw32-objdump -f "$exe" | sed -n 's/.*file format //p')
[ "$format" = pei-i386 ] || fail "not a 32-bit PE file: $format"

imports=$(i686-w64-mingw32-objdump -p "$exe" | sed -n 's/^\tDLL Name: //p' |
  tr 'a-z' 'A-Z' | sort | tr '\n' ' ')
[ "$imports" = "ADVAPI32.DLL KERNEL32.DLL MSVCRT.DLL " ] ||
  fail "imports beyond the system DLLs: $imports"

size=$(stat -c %s "$exe")
[ "$size" -le "$budget" ] || fail "WizardSetup.exe is $size bytes, over $budget"
echo "WizardSetup.exe: $format, imports $imports$size bytes (budget $budget)"

# An icon file: reserved 0, type 1 and the image count, then 16 bytes an
# image, the first two its width and height.
bytes_at() { od -An -tu"$1" -j "$2" -N "$3" "$4" | tr -s ' ' ' ' | sed 's/^ //'; }
for icon in "$build"/TaskWizard.ico "$build"/ComponentWizard.ico; do
  [ "$(bytes_at 2 0 6 "$icon")" = "0 1 2" ] &&
    [ "$(bytes_at 1 6 2 "$icon")" = "16 16" ] &&
    [ "$(bytes_at 1 22 2 "$icon")" = "32 32" ] ||
    fail "${icon##*/} does not hold a 16x16 and a 32x32 image"
done

zip=$build/WizardSetup-$version.zip
listing=$(cmake -E tar tf "$zip" 2>/dev/null | sort | tr '\n' ' ')
expected="WizardSetup-$version/ WizardSetup-$version/ComponentWizard.ico WizardSetup-$version/README.txt WizardSetup-$version/TaskWizard.ico WizardSetup-$version/WizardSetup.exe "
[ "$listing" = "$expected" ] || fail "zip holds: $listing"

# The MSI's tables, read statically, so that what its installation does is
# checked on machines where its msiexec round trip cannot run.
msi=$build/WizardSetup-$version.msi
rows() { msiinfo export "$msi" "$1" | tail -n +4 | tr -d '\r' | LC_ALL=C sort; }
tab=$'\t'
[ "$(msiinfo suminfo "$msi" | sed -n 's/^Template: //p')" = "Intel;1033" ] ||
  fail "the MSI is not a 32-bit package"
rows Directory | grep -qx "INSTALLDIR${tab}ProgramFilesFolder${tab}WizardSetup" ||
  fail "the MSI does not install into Program Files\\WizardSetup"
listing=$(rows File | cut -f3,4 | tr '\t\n' '  ')
expected="ComponentWizard.ico $(stat -c %s "$build/ComponentWizard.ico") README.txt $(stat -c %s "$build/README.txt") TaskWizard.ico $(stat -c %s "$build/TaskWizard.ico") WizardSetup.exe $size "
[ "$listing" = "$expected" ] || fail "the MSI holds: $listing"
# Type 3090: an installed exe run deferred, not impersonated, its status
# checked; 3154: the same with its status ignored.
[ "$(rows CustomAction | tr '\t\n' '  ')" = "InstallWizards 3090 WizardSetupExe /install  UninstallWizards 3154 WizardSetupExe /uninstall  " ] ||
  fail "the MSI's custom actions: $(rows CustomAction)"
order=$(rows InstallExecuteSequence | sort -t "$tab" -k3n | cut -f1,2 |
  grep -E '^(InstallInitialize|UninstallWizards|RemoveFiles|InstallFiles|InstallWizards|InstallFinalize)\b' |
  tr '\t\n' ' ;')
[ "$order" = 'InstallInitialize ;UninstallWizards REMOVE="ALL";RemoveFiles ;InstallFiles ;InstallWizards NOT REMOVE;InstallFinalize ;' ] ||
  fail "the MSI's installation runs: $order"

[ "$failures" -eq 0 ]
