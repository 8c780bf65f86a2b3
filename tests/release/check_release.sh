#!/usr/bin/env bash
# Checks what a Windows user receives, as built: WizardSetup.exe is a 32-bit
# Windows program that needs no DLL beyond the system's own and fits its
# budget (unsigned); the icons hold 16x16 and 32x32 images; SHA256SUMS
# matches the release; the zip holds the tool folder with the wizard
# folders, and the MSI's tables keep Windows Installer's rules. The release's
# packages exist only with the wizard folders it was given; the test
# packages are checked with the samples, under their own upgrade code.
#
#   check_release.sh BUILD_DIR
set -u
build=${1:?usage: check_release.sh BUILD_DIR}
# shellcheck source=cmake/build_facts.sh.in
source "$build/build_facts.sh"
exe=$build/WizardSetup.exe
budget=24576
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
scratch=$(mktemp -d "${TMPDIR:-/tmp}/wizard-release.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

format=$("$objdump" -f "$exe" | sed -n 's/.*file format //p')
[ "$format" = "$pe_format" ] || fail "not a $bits-bit PE file: $format"

imports=$("$objdump" -p "$exe" | sed -n 's/^\tDLL Name: //p' |
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
[ "$(cut -d' ' -f3 "$build/SHA256SUMS" | tr '\n' ' ')" = "${release_files[*]} " ] ||
  fail "SHA256SUMS lists $(cut -d' ' -f3 "$build/SHA256SUMS" | tr '\n' ' ')"
if [ -z "$wizards_dir" ]; then
  for package in "$build"/*.zip "$build"/*.msi; do
    [ ! -e "$package" ] || fail "${package##*/} made without the wizard folders"
  done
fi

# The names a package holds: the tool's files, and those of the wizard
# folders under WIZARDS, if any.
packed() {  # packed WIZARDS
  printf '%s\n' "${tool_files[@]}"
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
check_msi() {  # check_msi MSI WIZARDS UPGRADE_CODE X64_WXS
  local msi=$1 tab=$'\t' name=${1##*/}
  rows() { msiinfo export "$msi" "$1" | tail -n +4 | tr -d '\r' | LC_ALL=C sort; }
  [ "$(msiinfo suminfo "$msi" | sed -n 's/^Template: //p')" = "$msi_platform;1033" ] ||
    fail "$name is not a $bits-bit package"
  rows Directory | grep -qx "INSTALLDIR${tab}${msi_program_files}${tab}WIZARD~1|WizardSetup" ||
    fail "$name does not install into [$msi_program_files]\\WizardSetup"
  local names expected
  names=$(rows File | cut -f3 | sed 's/.*|//' | LC_ALL=C sort)
  expected=$(packed "$2" | sed 's|.*/||' | LC_ALL=C sort)
  [ "$names" = "$expected" ] || fail "$name holds: $names"
  # Each file its own component, and that component's key path, so that a
  # repair brings back any file that is missing; the one component keyed by
  # a registry entry (attribute 4) records the tool folder for
  # administrators.
  [ "$(rows File | cut -f1,2 | sed 's/\(.*\)\t\(.*\)/\2\t\1/' | LC_ALL=C sort)" = \
    "$(rows Component | awk -F "$tab" '$4 % 8 < 4' | cut -f1,6 | LC_ALL=C sort)" ] ||
    fail "$name has a component that is not one file, its key path"
  rows Component | grep -q "^ToolFolderValue${tab}{[-0-9A-F]*}${tab}INSTALLDIR${tab}4${tab}${tab}reg" &&
    [ "$(rows Registry | cut -f2-6)" = "2${tab}SOFTWARE\\WizardSetup${tab}InstallDir${tab}[INSTALLDIR]${tab}ToolFolderValue" ] ||
    fail "$name does not record its tool folder"
  # No component of the x64 package from the same source.
  local shared
  shared=$(comm -12 <(rows Component | cut -f2 | tr -d '{}' | LC_ALL=C sort) \
    <(grep -o 'Guid="[^"]*"' "$4" | cut -d'"' -f2 | LC_ALL=C sort))
  [ -z "$shared" ] || fail "$name shares components with its x64 package: $shared"
  # Every name beside its 8.3 short name, unless it is one, and no short
  # name twice in a folder (a file's folder is its component's).
  local short='[A-Za-z0-9!#$%&()@^_`{}~'"'"'-]'
  join -t "$tab" <(rows Component | cut -f1,3 | LC_ALL=C sort) \
    <(rows File | cut -f2,3 | LC_ALL=C sort) | cut -f2,3 > "$scratch/names"
  rows Directory | awk -F "$tab" '$2 != "" && $3 != "."' | cut -f2,3 >> "$scratch/names"
  local bad
  bad=$(sed 's/|.*//' "$scratch/names" | grep -Ev "${tab}${short}{1,8}(\.${short}{1,3})?\$")
  [ -z "$bad" ] || fail "$name has names without an 8.3 short name: $bad"
  bad=$(sed 's/|.*//' "$scratch/names" | tr 'a-z' 'A-Z' | LC_ALL=C sort | uniq -d)
  [ -z "$bad" ] || fail "$name has a short name twice in a folder: $bad"
  # WizardSetup.exe is versioned, so an installer compares its version, and
  # no file hashed.
  rows File | grep -q "^WizardSetupExe${tab}Tool${tab}WIZARD~1.EXE|WizardSetup.exe${tab}[0-9]*${tab}$version.0${tab}1033${tab}" ||
    fail "$name does not carry WizardSetup.exe as version $version.0"
  [ -z "$(rows MsiFileHash 2>/dev/null)" ] ||
    fail "$name hashes files, so an upgrade may leave one out: $(rows MsiFileHash)"
  # 3090: an installed exe run deferred, not impersonated, its status
  # checked; 3154: the same with its status ignored; 3410: that as a
  # rollback action; 3394: a rollback action running the exe in the Binary
  # table, which must be WizardSetup.exe; 51: a property set.
  [ "$(rows CustomAction | tr '\t\n' '  ')" = "CopyEveryFileOnUpgrade 51 REINSTALLMODE amus  InstallWizards 3090 WizardSetupExe /install  RollbackInstallWizards 3394 WizardSetupBinary /uninstall  RollbackUninstallWizards 3410 WizardSetupExe /install  SetInstallLocation 51 ARPINSTALLLOCATION [INSTALLDIR]  UninstallWizards 3154 WizardSetupExe /uninstall  UseInstalledToolFolder 51 INSTALLDIR [WIZARDSETUP_INSTALLED_FOLDER]  " ] ||
    fail "$name's custom actions: $(rows CustomAction)"
  msiinfo extract "$msi" Binary.WizardSetupBinary > "$scratch/binary.exe"
  cmp -s "$scratch/binary.exe" "$exe" || fail "$name's Binary table does not hold WizardSetup.exe"
  order() {  # order SEQUENCE: the actions that matter, with their conditions
    rows "$1" | sort -t "$tab" -k3n | cut -f1,2 |
      grep -E '^(FindRelatedProducts|AppSearch|UseInstalledToolFolder|CopyEveryFileOnUpgrade|LaunchConditions|CostFinalize|SetInstallLocation|InstallValidate|RemoveExistingProducts|InstallInitialize|RollbackUninstallWizards|UninstallWizards|RemoveFiles|InstallFiles|RollbackInstallWizards|InstallWizards|InstallFinalize|ExecuteAction)\b' |
      tr '\t\n' ' ;'
  }
  # The folder is decided, and an upgrade told to copy every file, before
  # costing and by the execute sequence alone; a UI sequence only finds
  # related products and hands over.
  [ "$(order InstallExecuteSequence)" = 'FindRelatedProducts ;AppSearch ;UseInstalledToolFolder WIZARDSETUP_INSTALLED_FOLDER AND (Installed OR NOT INSTALLDIR);CopyEveryFileOnUpgrade WIX_UPGRADE_DETECTED AND NOT Installed;LaunchConditions ;CostFinalize ;SetInstallLocation ;InstallValidate ;InstallInitialize ;RemoveExistingProducts ;RollbackUninstallWizards REMOVE="ALL";UninstallWizards REMOVE="ALL" AND NOT UPGRADINGPRODUCTCODE;RemoveFiles ;InstallFiles ;RollbackInstallWizards NOT Installed AND NOT REMOVE AND NOT WIX_UPGRADE_DETECTED;InstallWizards NOT REMOVE;InstallFinalize ;' ] &&
    [ "$(order InstallUISequence)" = 'FindRelatedProducts ;ExecuteAction ;' ] ||
    fail "$name's installation runs: $(order InstallExecuteSequence) and with a UI first: $(order InstallUISequence)"
  # An upgrade removes the older version first thing inside its own
  # transaction, so that a failure puts it back.
  [ "$(rows InstallExecuteSequence | sort -t "$tab" -k3n | cut -f1 | grep -x -A 1 InstallInitialize | tr '\n' ' ')" = "InstallInitialize RemoveExistingProducts " ] ||
    fail "$name does not remove an older version right after InstallInitialize"
  # Visual Studio 8.0's InstallDir, read raw (2) in the 32-bit view, must be
  # there for a first installation; an installed tool folder is the folder
  # of any of its files that Windows Installer has (a file key path, 1).
  local tool_folder_searches
  tool_folder_searches=$(rows Component | awk -F "$tab" '$3 == "INSTALLDIR" && $4 % 8 < 4 { print "Installed" $1 "\t" $2 "\t1" }' | LC_ALL=C sort)
  [ "$(rows RegLocator | tr '\t\n' '  ')" = 'VisualStudio8InstallDir 2 SOFTWARE\Microsoft\VisualStudio\8.0 InstallDir 2 ' ] &&
    [ "$(rows CompLocator)" = "$tool_folder_searches" ] &&
    [ "$(rows AppSearch | cut -f1 | uniq -c | tr -s ' \n' '  ')" = " 1 VISUALSTUDIO8 $(grep -c '' <<< "$tool_folder_searches") WIZARDSETUP_INSTALLED_FOLDER " ] &&
    rows LaunchCondition | grep -q "^Installed OR VISUALSTUDIO8${tab}WizardSetup needs Visual Studio 8.0" ||
    fail "$name does not require Visual Studio 8.0, or find its tool folder: $(rows RegLocator) $(rows CompLocator) $(rows AppSearch) $(rows LaunchCondition)"
  rows Property | grep -qx "ARPNOMODIFY${tab}1" && ! rows Property | grep -q '^ARPNOREPAIR' ||
    fail "$name offers Change, or no Repair"
  # Older versions are upgraded, newer ones refuse the installation.
  local code="{$3}"
  [ "$(rows Upgrade)" = "$(printf '%s\t\t%s\t\t1\t\tWIX_UPGRADE_DETECTED\n%s\t%s\t\t\t2\t\tWIX_DOWNGRADE_DETECTED' \
    "$code" "$version" "$code" "$version")" ] ||
    fail "$name's upgrades: $(rows Upgrade)"
  rows LaunchCondition | grep -q '^NOT WIX_DOWNGRADE_DETECTED' ||
    fail "$name does not refuse a downgrade"
}

x64=$build/tests/release/x64
if [ -n "$wizards_dir" ]; then
  check_zip "$build/WizardSetup-$version.zip" "$wizards_dir"
  check_msi "$build/WizardSetup-$version.msi" "$wizards_dir" "$upgrade_code" "$x64/release.wxs"
fi
check_zip "$build/tests/packages/WizardSetup-$version.zip" "$samples_dir"
check_msi "$build/tests/packages/WizardSetup-$version.msi" "$samples_dir" "$test_upgrade_code" "$x64/samples.wxs"
[ "$test_upgrade_code" != "$upgrade_code" ] || fail "the test packages share the release's upgrade code"

[ "$failures" -eq 0 ]
