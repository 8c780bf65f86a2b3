#!/usr/bin/env bash
# End-to-end suite: runs the built tool as a user would, in a throwaway
# sandbox, and checks the exit status, the silence, and the whole file tree
# afterwards: the six wizard files byte for byte, and nothing else changed.
#
#   wizard_e2e.sh native BUILD_DIR     the native tool with its POSIX
#                                      stand-in
#   wizard_e2e.sh wine BUILD_DIR VERSION BITS NEXT_VERSION
#                                      WizardSetup.exe of that bitness (32:
#                                      the product, 64: its twin) under Wine,
#                                      in a private 64-bit prefix, run as an
#                                      unprivileged user so that read-only
#                                      files hold; also its MSI, upgraded to
#                                      NEXT_VERSION. The product is skipped
#                                      (77) where 32-bit code cannot run.
set -u
usage="usage: wizard_e2e.sh native BUILD_DIR | wine BUILD_DIR VERSION 32|64 NEXT_VERSION"
mode=${1:?$usage}
build=$(cd "${2:?$usage}" && pwd)
version=${3:-}
bits=${4:-}
next_version=${5:-}
here=$(cd "$(dirname "$0")" && pwd)
samples=$here/../sample_wizards

if [ "$mode" = wine ] && [ "$bits" = 32 ]; then
  source "$here/wine_host.sh"
  if ! i386_runs; then
    echo "SKIPPED: the 32-bit WizardSetup.exe is not run: $(i386_missing)"
    exit 77
  fi
fi

# Wine lets root overwrite read-only files, as Windows never does, so the
# suite runs as the unprivileged user nobody, from a copy that user owns.
if [ "$mode" = wine ] && [ "$(id -u)" -eq 0 ]; then
  staged=$(mktemp -d "${TMPDIR:-/tmp}/wizard-wine.XXXXXX")
  trap 'rm -rf "$staged"' EXIT
  mkdir -p "$staged/e2e" "$staged/build/tests/wine" \
    "$staged/build/tests/packages" "$staged/home"
  cp "$here"/*.sh "$staged/e2e/"
  cp -r "$samples" "$staged/"
  cp "$build/WizardSetup.exe" "$build"/*.ico "$staged/build/"
  cp "$build"/tests/wine/*.exe "$staged/build/tests/wine/"
  cp "$build"/tests/packages/*.msi "$staged/build/tests/packages/"
  chown -R 65534:65534 "$staged"
  setpriv --reuid=65534 --regid=65534 --clear-groups \
    env -i PATH="$PATH" HOME="$staged/home" TMPDIR="$staged" \
    WIZARDSETUP_NO_I386="${WIZARDSETUP_NO_I386:-}" \
    bash "$staged/e2e/wizard_e2e.sh" wine "$staged/build" "$version" "$bits" \
    "$next_version"
  exit
fi

source "$here/sandbox.sh"
runs=$tool_binary
[ "$mode" = wine ] && runs="$runs ($bits-bit) under $wine_loader"
echo "$mode suite runs $runs as $(id -un 2>/dev/null || echo "uid $(id -u)") (uid $(id -u))"

passed=0
failed=0
current=""

# --- reporting -------------------------------------------------------------

check() {  # check DESCRIPTION COMMAND...
  if "${@:2}"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    printf 'not ok - %s: %s\n' "$current" "$1"
  fi
}

scenario() { current=$1; reset_sandbox; }

# --- expectations ----------------------------------------------------------

wizard_files=(TaskWizard.ico TaskWizard.vsdir TaskWizard.vsz
              ComponentWizard.ico ComponentWizard.vsdir ComponentWizard.vsz)

expected_record() {  # expected_record NAME
  case $1 in
    TaskWizard) printf '%s' 'TaskWizard.vsz| |Custom Task|1|Custom task for use in Integration Services packages.| |6777| |CustomTask' ;;
    ComponentWizard) printf '%s' 'ComponentWizard.vsz| |Custom Data Flow Component|1|Custom data flow component for use in Integration Services packages.| |6777| |CustomComponent' ;;
  esac
}

expected_launch_file() {  # expected_launch_file NAME TOOL_DIR
  printf 'VSWIZARD 7.0\r\nWizard=VsWizard.VsWizardEngine.8.0\r\n\r\nParam="WIZARD_NAME = %s"\r\nParam="ABSOLUTE_PATH = %s%s"\r\nParam="FALLBACK_LCID = 1033"' "$1" "$2" "$1"
}

has_bytes() {  # has_bytes FILE < EXPECTED
  [ -f "$1" ] && cmp -s - "$1"
}

absent() { [ ! -e "$1" ]; }

# The sandbox as a sorted list of every entry with its type, mode and
# content hash, leaving out the six files of the wizard folder, which are
# checked one by one.
snapshot() {
  local wizard=".${wizard_dir#"$sandbox"}"
  (cd "$sandbox" && find . -printf '%y %m %p\n' | LC_ALL=C sort | while read -r type mode path; do
    case $path in "$wizard"/TaskWizard.* | "$wizard"/ComponentWizard.*)
      case ${path##*.} in ico | vsdir | vsz) continue ;; esac ;;
    esac
    hash=""
    [ "$type" = f ] && hash=$(md5sum < "$path")
    printf '%s %s %s %s\n' "$type" "$mode" "$path" "$hash"
  done)
}

# Runs the tool with the given arguments from the decoy working directory
# and checks that it exits 0, prints nothing and changes nothing but the six
# wizard files.
run() {
  local before after status
  before=$(snapshot)
  run_tool "$@" > "$scratch/stdout" 2> "$scratch/stderr"
  status=$?
  after=$(snapshot)
  check "exit status 0 for [$*], was $status" [ "$status" -eq 0 ]
  check "silent stdout for [$*]" [ ! -s "$scratch/stdout" ]
  check "silent stderr for [$*]" [ ! -s "$scratch/stderr" ]
  check "nothing but the wizard files changed for [$*]" [ "$before" = "$after" ]
  [ "$before" = "$after" ] || diff <(echo "$before") <(echo "$after") | head -n 8
}

expect_installed() {  # expect_installed [TOOL_DIR]
  local tool=${1:-$tool_dir_windows}
  local wizard
  for wizard in TaskWizard ComponentWizard; do
    check "$wizard.ico is the tool's icon" has_bytes "$wizard_dir/$wizard.ico" < "$tool_dir/$wizard.ico"
    check "$wizard.vsdir bytes" has_bytes "$wizard_dir/$wizard.vsdir" < <(expected_record $wizard)
    check "$wizard.vsz bytes" has_bytes "$wizard_dir/$wizard.vsz" < <(expected_launch_file $wizard "$tool")
  done
}

expect_none_of_the_six() {
  local name
  for name in "${wizard_files[@]}"; do
    check "$name absent" absent "$wizard_dir/$name"
  done
}

# --- scenarios -------------------------------------------------------------

scenario "install writes the six files"
run /install
expect_installed

scenario "install again replaces longer old files"
for name in "${wizard_files[@]}"; do
  head -c 600 /dev/zero | tr '\0' 'o' > "$wizard_dir/$name"
done
run /install
run /install
expect_installed

scenario "uninstall deletes exactly the six files"
run /install
run /uninstall
expect_none_of_the_six

scenario "uninstall of a partial installation"
run /install
rm "$wizard_dir/TaskWizard.vsz" "$wizard_dir/ComponentWizard.ico"
run /uninstall
expect_none_of_the_six

scenario "switches in any case"
run /INSTALL
expect_installed
run /UnInstall
expect_none_of_the_six
run /Install
expect_installed

scenario "near misses and wrong argument counts do nothing"
for arguments in -install install /installx "/install " /instal /uninstal "" "/install /install"; do
  run "$arguments"
  expect_none_of_the_six
done
run
run /install /install
expect_none_of_the_six
run /install
run /uninstall extra
expect_installed

scenario "Visual Studio not registered"
remove_visual_studio_key
run /install
expect_none_of_the_six

scenario "key present without InstallDir"
remove_install_dir_value
run /install
expect_none_of_the_six

scenario "empty InstallDir is no installation"
set_install_dir ""
run /install
expect_none_of_the_six

# From the decoy working directory, ".\" leads to a decoy wizard folder;
# 0x5C2E is a REG_DWORD whose bytes read ".\".
for value in '.\' 'C:.\' 0x5C2E; do
  scenario "relative InstallDir $value is refused"
  case $value in
    0x*) set_install_dir "$value" REG_DWORD ;;
    *) set_install_dir "$value" ;;
  esac
  run /install
  expect_none_of_the_six
done

scenario "unterminated InstallDir is read to its size"
set_install_dir_unterminated "$install_dir_windows"
run /install
expect_installed

scenario "long InstallDir through a padding folder"
set_install_dir "$(long_install_dir 200)"
run /install
expect_installed

scenario "InstallDir longer than the buffer is refused"
set_install_dir "$(long_install_dir 260)"
run /install
expect_none_of_the_six

scenario "unterminated InstallDir filling the buffer is refused"
set_install_dir_unterminated "$(long_install_dir 260)"
run /install
expect_none_of_the_six

scenario "expandable InstallDir is used unexpanded"
mkdir -p "$sandbox/%WIZARD_VS%/Common7/IDE" "$sandbox/%WIZARD_VS%/VC#/CSharpProjects"
set_install_dir "${install_dir_windows/VS8/%WIZARD_VS%}" REG_EXPAND_SZ
wizard_dir="$sandbox/%WIZARD_VS%/VC#/CSharpProjects"
WIZARD_VS=VS8 run /install
expect_installed

scenario "missing icons still give the four descriptors"
rm "$tool_dir/TaskWizard.ico" "$tool_dir/ComponentWizard.ico"
run /install
for wizard in TaskWizard ComponentWizard; do
  check "$wizard.ico absent" absent "$wizard_dir/$wizard.ico"
  check "$wizard.vsdir bytes" has_bytes "$wizard_dir/$wizard.vsdir" < <(expected_record $wizard)
  check "$wizard.vsz bytes" has_bytes "$wizard_dir/$wizard.vsz" < <(expected_launch_file $wizard "$tool_dir_windows")
done

scenario "missing wizard folder is not created"
rm -r "$wizard_dir"
run /install
run /uninstall
check "wizard folder still absent" absent "$wizard_dir"

scenario "read-only icon copy survives uninstall and install"
chmod a-w "$tool_dir/TaskWizard.ico"
run /install
expect_installed
cp "$tool_dir/TaskWizard.ico" "$scratch/first.ico"
chmod u+w "$tool_dir/TaskWizard.ico"
echo "a newer icon" > "$tool_dir/TaskWizard.ico"
run /uninstall
check "read-only copy kept" has_bytes "$wizard_dir/TaskWizard.ico" < "$scratch/first.ico"
check "ComponentWizard.ico deleted" absent "$wizard_dir/ComponentWizard.ico"
check "TaskWizard.vsz deleted" absent "$wizard_dir/TaskWizard.vsz"
run /install
check "read-only copy not replaced" has_bytes "$wizard_dir/TaskWizard.ico" < "$scratch/first.ico"
check "ComponentWizard.vsz written" has_bytes "$wizard_dir/ComponentWizard.vsz" < <(expected_launch_file ComponentWizard "$tool_dir_windows")

scenario "tool folder with blanks and #"
move_tool "Wizard Tools #1"
run /install
expect_installed

scenario "tool folder longer than 260 characters"
move_tool "$(printf 'd%.0s' $(seq 200))/$(printf 'e%.0s' $(seq 100))"
run /install
for wizard in TaskWizard ComponentWizard; do
  check "$wizard.ico not copied" absent "$wizard_dir/$wizard.ico"
  check "$wizard.vsz names the long folder" has_bytes "$wizard_dir/$wizard.vsz" < <(expected_launch_file $wizard "$tool_dir_windows")
  check "$wizard.vsdir bytes" has_bytes "$wizard_dir/$wizard.vsdir" < <(expected_record $wizard)
done

scenario "tool folder too long to name leaves launch files alone"
move_tool "$(printf 'f%.0s' $(seq 200))/$(printf 'g%.0s' $(seq 200))"
printf 'a good old launch file' > "$wizard_dir/TaskWizard.vsz"
run /install
check "old TaskWizard.vsz untouched" has_bytes "$wizard_dir/TaskWizard.vsz" < <(printf 'a good old launch file')
check "ComponentWizard.vsz not created" absent "$wizard_dir/ComponentWizard.vsz"
check "icons not copied" absent "$wizard_dir/TaskWizard.ico"
check "TaskWizard.vsdir bytes" has_bytes "$wizard_dir/TaskWizard.vsdir" < <(expected_record TaskWizard)

platform_scenarios

printf '%s: %d passed, %d failed\n' "$mode" "$passed" "$failed"
[ "$failed" -eq 0 ]
