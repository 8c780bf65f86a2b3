#!/usr/bin/env bash
# Checks what a Windows user receives, as built: WizardSetup.exe is a 32-bit
# Windows program that needs no DLL beyond the system's own and fits its
# budget (unsigned); the icons hold 16x16 and 32x32 images; SHA256SUMS
# matches; the zip holds the tool folder with the wizard folders, and the
# MSI's tables install it, one component a file, upgrade an older version
# and run the tool where they must. The release's packages are checked with
# the wizard folders it was given, if any, the test packages with the samples.
#
#   check_release.sh BUILD_DIR VERSION WIZARDS_DIR|"" SAMPLES_DIR
set -u
usage="usage: check_release.sh BUILD_DIR VERSION WIZARDS_DIR|\"\" SAMPLES_DIR"
build=${1:?$usage}
version=${2:?$usage}
wizards=${3?$usage}
samples=${4:?$usage}
exe=$build/WizardSetup.exe
budget=24576
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
scratch=$(mktemp -d "${TMPDIR:-/tmp}/wizard-release.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

format=$(i686-w64-mingw32-objdump -f "$exe" | sed -n 's/.*file format //p')
[ "$format" = pei-i386 ] || fail "not a 32-bit PE file: $format"

imports=$(i686-w64-mingw32-objdump -p "$exe" | sed -n 's/^\tDLL Name: //p' |
  tr 'a-z' 'A-Z' | sort | tr '\n' ' ')
[ "$imports" = "ADVAPI32.DLL KERNEL32.DLL MSVCRT.DLL " ] ||
  fail "imports beyond the system DLLs: $imports"

# The budget is for the exe as built; a signature adds its certificates.
unsigned=$exe
if osslsigncode remove-signature -in "$exe" -out "$scratch/unsigned.exe" >/dev/null 2>&1; then
  unsigned=$scratch/unsigned.exe
fi
size=$(stat -c %s "$unsigned")
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

(cd "$build" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match"

# The names a package holds: the tool's files, and those of the wizard
# folders under WIZARDS, if any.
packed() {  # packed WIZARDS
  printf '%s\n' WizardSetup.exe TaskWizard.ico ComponentWizard.ico README.txt
  [ -z "$1" ] || (cd "$1" && find TaskWizard ComponentWizard -type f)
}

check_zip() {  # check_zip ZIP WIZARDS
  local listing expected
  listing=$(cmake -E tar tf "$1" | LC_ALL=C sort)
  expected=$(packed "$2" | sed "s|^|WizardSetup-$version/|" | LC_ALL=C sort)
  [ "$listing" = "$expected" ] || fail "${1##*/} holds: $listing"
}

# The MSI's tables, read statically, so that what its installation does is
# checked on machines where its msiexec round trip cannot run.
check_msi() {  # check_msi MSI WIZARDS
  local msi=$1 tab=$'\t'
  rows() { msiinfo export "$msi" "$1" | tail -n +4 | tr -d '\r' | LC_ALL=C sort; }
  [ "$(msiinfo suminfo "$msi" | sed -n 's/^Template: //p')" = "Intel;1033" ] ||
    fail "${msi##*/} is not a 32-bit package"
  rows Directory | grep -qx "INSTALLDIR${tab}ProgramFilesFolder${tab}WizardSetup" ||
    fail "${msi##*/} does not install into Program Files\\WizardSetup"
  local names expected
  names=$(rows File | cut -f3 | LC_ALL=C sort)
  expected=$(packed "$2" | sed 's|.*/||' | LC_ALL=C sort)
  [ "$names" = "$expected" ] || fail "${msi##*/} holds: $names"
  # Each file its own component, and that component's key path, so that a
  # repair brings back any file that is missing.
  [ "$(rows File | cut -f1,2 | sed 's/\(.*\)\t\(.*\)/\2\t\1/' | LC_ALL=C sort)" = \
    "$(rows Component | cut -f1,6 | LC_ALL=C sort)" ] ||
    fail "${msi##*/} has a component that is not one file, its key path"
  # Type 3090: an installed exe run deferred, not impersonated, its status
  # checked; 3154: the same with its status ignored.
  [ "$(rows CustomAction | tr '\t\n' '  ')" = "InstallWizards 3090 WizardSetupExe /install  UninstallWizards 3154 WizardSetupExe /uninstall  " ] ||
    fail "${msi##*/}'s custom actions: $(rows CustomAction)"
  local order
  order=$(rows InstallExecuteSequence | sort -t "$tab" -k3n | cut -f1,2 |
    grep -E '^(InstallValidate|RemoveExistingProducts|InstallInitialize|UninstallWizards|RemoveFiles|InstallFiles|InstallWizards|InstallFinalize)\b' |
    tr '\t\n' ' ;')
  [ "$order" = 'InstallValidate ;RemoveExistingProducts ;InstallInitialize ;UninstallWizards REMOVE="ALL" AND NOT UPGRADINGPRODUCTCODE;RemoveFiles ;InstallFiles ;InstallWizards NOT REMOVE;InstallFinalize ;' ] ||
    fail "${msi##*/}'s installation runs: $order"
  # Older versions are upgraded, newer ones refuse the installation.
  local code='{73386080-E6A9-4C4A-8D2B-F26CD79713AE}'
  [ "$(rows Upgrade)" = "$(printf '%s\t\t%s\t\t1\t\tWIX_UPGRADE_DETECTED\n%s\t%s\t\t\t2\t\tWIX_DOWNGRADE_DETECTED' \
    "$code" "$version" "$code" "$version")" ] ||
    fail "${msi##*/}'s upgrades: $(rows Upgrade)"
  rows LaunchCondition | grep -q '^NOT WIX_DOWNGRADE_DETECTED' ||
    fail "${msi##*/} does not refuse a downgrade"
}

check_zip "$build/WizardSetup-$version.zip" "$wizards"
check_msi "$build/WizardSetup-$version.msi" "$wizards"
check_zip "$build/tests/packages/WizardSetup-$version.zip" "$samples"
check_msi "$build/tests/packages/WizardSetup-$version.msi" "$samples"

[ "$failures" -eq 0 ]
