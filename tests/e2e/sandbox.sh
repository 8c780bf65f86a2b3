# The sandbox of the end-to-end suite, for the native tool or for
# WizardSetup.exe under Wine: a Visual Studio 8.0 tree, its registry entry,
# and a tool folder holding the executable, the two icons and the two wizard
# folders. Sourced by wizard_e2e.sh, which sets `mode` and `build`, and for
# Wine `bits`, the executable's bitness. Everything lives in one scratch
# folder, removed on exit.
#
# Both give the suite:
#   sandbox, tool_dir, wizard_dir        host paths
#   tool_dir_windows, install_dir_windows  the same as the tool sees them
#   scratch                              a folder outside the sandbox
#   reset_sandbox, run_tool ARGS...
#   set_install_dir TEXT [TYPE], set_install_dir_unterminated TEXT,
#   remove_install_dir_value, remove_visual_studio_key
#   long_install_dir LENGTH, move_tool RELATIVE_PATH
#   platform_scenarios

registry_key='HKLM\SOFTWARE\Microsoft\VisualStudio\8.0'

to_windows() { printf '%s' "${1//\//\\}"; }

# Makes the tree afresh with Visual Studio registered. The tool runs from a
# decoy IDE folder holding decoy icons, so a path made relative (by an empty
# install directory, or an unknown tool folder) shows as a change.
reset_sandbox() {
  rm -rf "$sandbox"
  cwd=$sandbox/decoy/Common7/IDE
  mkdir -p "$sandbox/VS8/Common7/IDE" "$sandbox/VS8/VC#/CSharpProjects" \
    "$sandbox/Tool/TaskWizard" "$sandbox/Tool/ComponentWizard" "$cwd" \
    "$sandbox/decoy/VC#/CSharpProjects"
  printf 'the IDE' > "$sandbox/VS8/Common7/IDE/devenv.exe"
  printf 'decoy' | tee "$cwd/TaskWizard.ico" > "$cwd/ComponentWizard.ico"
  printf 'another wizard' > "$sandbox/VS8/VC#/CSharpProjects/Other.vsdir"
  printf 'task wizard script' > "$sandbox/Tool/TaskWizard/default.js"
  printf 'component wizard script' > "$sandbox/Tool/ComponentWizard/default.js"
  printf 'task icon \001\002\r\n' > "$sandbox/Tool/TaskWizard.ico"
  printf 'component icon \377\000' > "$sandbox/Tool/ComponentWizard.ico"
  cp "$tool_binary" "$sandbox/Tool/"
  tool_dir=$sandbox/Tool
  wizard_dir=$sandbox/VS8/VC#/CSharpProjects
  tool_dir_windows=$(windows_path "$tool_dir")\\
  install_dir_windows=$(windows_path "$sandbox/VS8/Common7/IDE")\\
  remove_visual_studio_key
  set_install_dir "$install_dir_windows"
}

# An install directory of exactly LENGTH characters that leads to the IDE's
# folder through a padding folder and "..".
long_install_dir() {
  local ide="\\..\\VS8\\Common7\\IDE\\"
  local prefix
  prefix=$(windows_path "$sandbox")\\
  local pad_length=$(($1 - ${#prefix} - ${#ide}))
  local pad
  pad=$(head -c "$pad_length" /dev/zero | tr '\0' p)
  mkdir -p "$sandbox/$pad"
  printf '%s' "$prefix$pad$ide"
}

move_tool() {
  mkdir -p "$sandbox/$1"
  rmdir "$sandbox/$1"
  mv "$tool_dir" "$sandbox/$1"
  tool_dir=$sandbox/$1
  tool_dir_windows=$(windows_path "$tool_dir")\\
}

work=$(mktemp -d "${TMPDIR:-/tmp}/wizard-e2e.XXXXXX")
scratch=$work/scratch
mkdir -p "$scratch"

if [ "$mode" = native ]; then
  trap 'rm -rf "$work"' EXIT
  tool_binary=$build/WizardSetup
  sandbox=$work/sandbox
  registry=$work/registry
  value_file=$registry/HKEY_LOCAL_MACHINE/SOFTWARE/Microsoft/VisualStudio/8.0/InstallDir

  windows_path() { to_windows "$1"; }

  # $TOOL_RUNNER, when set, runs the tool (under valgrind, say).
  run_tool() {
    (cd "$cwd" &&
      WIZARDSETUP_REGISTRY=$registry ${TOOL_RUNNER:-} "$tool_dir/WizardSetup" "$@")
  }
  set_install_dir() {  # set_install_dir TEXT|NUMBER [TYPE]
    mkdir -p "${value_file%/*}"
    if [ "${2:-}" = REG_DWORD ]; then
      perl -e 'print pack "V", oct shift' "$1" > "$value_file"
    else
      printf '%s\0' "$1" > "$value_file"
    fi
  }
  set_install_dir_unterminated() {
    mkdir -p "${value_file%/*}"
    printf '%s' "$1" > "$value_file"
  }
  remove_install_dir_value() { rm -f "$value_file"; }
  remove_visual_studio_key() { rm -rf "$registry"; }

  # Windows refuses the wizard paths of so long an install directory (they
  # pass MAX_PATH); here they work, which shows the value was read whole.
  platform_scenarios() {
    scenario "InstallDir of 259 characters is used"
    set_install_dir "$(long_install_dir 259)"
    run /install
    expect_installed

    scenario "no registry at all"
    registry=$work/no-registry
    run /install
    registry=$work/registry
    expect_none_of_the_six

    scenario "a FIFO in place of a wizard file is passed over at once"
    mkfifo "$wizard_dir/TaskWizard.vsdir"
    TOOL_RUNNER="timeout 10 ${TOOL_RUNNER:-}" run /install
    check "TaskWizard.vsdir still a FIFO" [ -p "$wizard_dir/TaskWizard.vsdir" ]
    check "TaskWizard.vsz bytes" has_bytes "$wizard_dir/TaskWizard.vsz" < <(expected_launch_file TaskWizard "$tool_dir_windows")
    check "ComponentWizard.vsdir bytes" has_bytes "$wizard_dir/ComponentWizard.vsdir" < <(expected_record ComponentWizard)
    check "ComponentWizard.vsz bytes" has_bytes "$wizard_dir/ComponentWizard.vsz" < <(expected_launch_file ComponentWizard "$tool_dir_windows")
    check "TaskWizard.ico copied" has_bytes "$wizard_dir/TaskWizard.ico" < "$tool_dir/TaskWizard.ico"
    check "ComponentWizard.ico copied" has_bytes "$wizard_dir/ComponentWizard.ico" < "$tool_dir/ComponentWizard.ico"

    scenario "files made under a strict umask are replaced later"
    (umask 0277 && run_tool /install)
    run /install
    expect_installed

    # Each launch file is written whole by one run, or left to another.
    scenario "concurrent installs from two tool folders"
    local long_tool="$sandbox/A tool folder of a longer name"
    local long_tool_windows rounds=25 round wizard
    [ -z "${TOOL_RUNNER:-}" ] || rounds=2  # valgrind: each run takes ~0.5 s
    cp -r "$tool_dir" "$long_tool"
    long_tool_windows=$(windows_path "$long_tool")\\
    for round in $(seq "$rounds"); do
      for _ in 1 2 3 4; do
        run_tool /install &
        tool_dir=$long_tool run_tool /install &
      done
      wait
      for wizard in TaskWizard ComponentWizard; do
        check "$wizard.vsz names one folder whole, round $round" launch_file_of_either $wizard "$tool_dir_windows" "$long_tool_windows"
      done
    done
    tool_dir=$long_tool run_tool /install
    expect_installed "$long_tool_windows"
  }

  launch_file_of_either() {  # launch_file_of_either WIZARD TOOL_DIR TOOL_DIR
    has_bytes "$wizard_dir/$1.vsz" < <(expected_launch_file "$1" "$2") ||
      has_bytes "$wizard_dir/$1.vsz" < <(expected_launch_file "$1" "$3")
  }
  return 0
fi

# --- Wine ------------------------------------------------------------------

source "${BASH_SOURCE[0]%/*}/wine_host.sh"
use_wine "$bits"
trap 'stop_wine; rm -rf "$work"' EXIT
start_wine "$work"
tool_binary=$build/WizardSetup.exe
helpers=$build/tests/wine
sandbox=$WINEPREFIX/drive_c/sandbox
# The registry view the tool reads, that of its own bitness, and the other.
view=/reg:$bits
other_bits=$((96 - bits))

windows_path() {
  case $1 in
    "$WINEPREFIX/drive_c"/*) printf 'C:%s' "$(to_windows "${1#"$WINEPREFIX/drive_c"}")" ;;
    *) printf 'Z:%s' "$(to_windows "$1")" ;;
  esac
}

run_tool() {
  (cd "$cwd" && wine "${tool_dir_windows}WizardSetup.exe" "$@")
}
quiet_wine() { wine "$@" >/dev/null 2>&1; }
set_install_dir() {
  quiet_wine reg add "$registry_key" /v InstallDir /t "${2:-REG_SZ}" /d "$1" "$view" /f
}
set_install_dir_unterminated() {
  local hex
  hex=$(printf '%s' "$1" | iconv -t UTF-16LE | od -An -v -tx1 | tr -d ' \n')
  quiet_wine "$helpers/vs_registry.exe" raw 1 "$hex"
}
# Removing what is not there is no failure.
remove_install_dir_value() {
  quiet_wine reg delete "$registry_key" /v InstallDir "$view" /f || true
}
remove_visual_studio_key() { quiet_wine "$helpers/vs_registry.exe" clear; }

# Holds a wizard file open with no sharing from another Windows process
# while the tool runs with the given arguments.
run_while_held() {  # run_while_held NAME ARGS...
  local held=$wizard_dir/$1
  rm -f "$scratch/ready" "$scratch/release"
  wine "$helpers/hold_file.exe" "$(windows_path "$held")" \
    "$(windows_path "$scratch/ready")" "$(windows_path "$scratch/release")" \
    >/dev/null 2>&1 &
  local holder=$!
  local waited=0
  while [ ! -e "$scratch/ready" ] && [ "$waited" -lt 200 ]; do
    sleep 0.05
    waited=$((waited + 1))
  done
  check "$1 is held open" [ -e "$scratch/ready" ]
  run "${@:2}"
  touch "$scratch/release"
  wait "$holder"
}

# The MSI scenarios use packages of the tool with the sample wizard folders,
# of this version and of the next, built from the release's template.
msiexec_file() {  # msiexec_file /i|/x PACKAGE [PROPERTY=VALUE...]
  quiet_wine msiexec "$1" "$(windows_path "$2")" /qn "${@:3}"
}
msiexec_package() {  # msiexec_package /i|/x VERSION [PROPERTY=VALUE...]
  msiexec_file "$1" "$build/tests/packages/WizardSetup-$2.msi" "${@:3}"
}
# A copy of this version's package, under a package code of its own, with
# an action that fails, deferred, at SEQUENCE when CONDITION holds.
failing_copy() {  # failing_copy PACKAGE SEQUENCE CONDITION
  local template
  template=$(msiinfo suminfo "$build/tests/packages/WizardSetup-$version.msi" | sed -n 's/^Template: //p')
  cp "$build/tests/packages/WizardSetup-$version.msi" "$1"
  msibuild "$1" \
    -q "INSERT INTO \`CustomAction\` (\`Action\`, \`Type\`, \`Source\`, \`Target\`) VALUES ('FailHere', 3106, 'INSTALLDIR', '\"[SystemFolder]cmd.exe\" /c exit 1')" \
    -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Condition\`, \`Sequence\`) VALUES ('FailHere', '$3', $2)" \
    -s "WizardSetup that fails" WizardSetup "$template" "{$(cat /proc/sys/kernel/random/uuid)}"
}
fails() { ! "$@"; }
# The versions of WizardSetup that Windows Installer has registered.
registered() {
  local view
  for view in /reg:32 /reg:64; do
    wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s "$view" 2>/dev/null
  done | tr -d '\r' | sed -n 's/^ *DisplayVersion *REG_SZ *//p' | tr '\n' ' '
}
msi_state() {
  registered
  find "$tool_dir" "$wizard_dir" -type f -exec md5sum {} + | sort
}
# The tool folder installed, the six files naming it, and each wizard's
# folder that a launch file names holding the sample wizard's files.
expect_msi_installed() {  # expect_msi_installed TOOL_DIR_WINDOWS
  local file wizard folder
  for file in WizardSetup.exe TaskWizard.ico ComponentWizard.ico; do
    check "$file installed" cmp -s "$tool_dir/$file" "$build/$file"
  done
  expect_installed "$1"
  for wizard in TaskWizard ComponentWizard; do
    folder=$(sed -n 's/^Param="ABSOLUTE_PATH = C:\(.*\)"\r$/\1/p' "$wizard_dir/$wizard.vsz")
    check "the folder $wizard.vsz names holds the sample wizard" \
      diff -r "$WINEPREFIX/drive_c${folder//\\//}" "$samples/$wizard"
  done
}

platform_scenarios() {
  scenario "key only in the $other_bits-bit view is not found"
  remove_visual_studio_key
  quiet_wine reg add "$registry_key" /v InstallDir /t REG_SZ /d "$install_dir_windows" "/reg:$other_bits" /f
  run /install
  expect_none_of_the_six

  scenario "descriptor held open by another program"
  printf 'held content' > "$wizard_dir/TaskWizard.vsz"
  run_while_held TaskWizard.vsz /install
  check "held TaskWizard.vsz untouched" has_bytes "$wizard_dir/TaskWizard.vsz" < <(printf 'held content')
  check "TaskWizard.vsdir bytes" has_bytes "$wizard_dir/TaskWizard.vsdir" < <(expected_record TaskWizard)
  check "ComponentWizard.vsz names its folder" has_bytes "$wizard_dir/ComponentWizard.vsz" < <(expected_launch_file ComponentWizard "$tool_dir_windows")
  check "ComponentWizard.ico copied" has_bytes "$wizard_dir/ComponentWizard.ico" < "$tool_dir/ComponentWizard.ico"
  run_while_held TaskWizard.vsz /uninstall
  check "held TaskWizard.vsz not deleted" has_bytes "$wizard_dir/TaskWizard.vsz" < <(printf 'held content')
  check "ComponentWizard.vsz deleted" absent "$wizard_dir/ComponentWizard.vsz"
  check "TaskWizard.ico deleted" absent "$wizard_dir/TaskWizard.ico"

  scenario "MSI installs, upgrades, refuses a downgrade and removes"
  local program_files='Program Files (x86)'
  [ "$bits" = 64 ] && program_files='Program Files'
  local installed="$WINEPREFIX/drive_c/$program_files/WizardSetup"
  check "msiexec /i $version succeeds" msiexec_package /i "$version"
  check "one product registered: $version" [ "$(registered)" = "$version " ]
  tool_dir=$installed
  expect_msi_installed "C:\\$program_files\\WizardSetup\\"
  check "msiexec /i $next_version succeeds" msiexec_package /i "$next_version"
  check "one product registered: $next_version" [ "$(registered)" = "$next_version " ]
  expect_msi_installed "C:\\$program_files\\WizardSetup\\"
  local before
  before=$(msi_state)
  check "msiexec /i $version over $next_version is refused" fails msiexec_package /i "$version"
  check "the refused downgrade changed nothing" [ "$before" = "$(msi_state)" ]
  check "msiexec /x succeeds" msiexec_package /x "$next_version"
  check "no product registered" [ -z "$(registered)" ]
  expect_none_of_the_six
  check "tool folder removed" absent "$installed"
  check "other wizard kept" [ -f "$wizard_dir/Other.vsdir" ]

  scenario "MSI needs Visual Studio 8.0 to install"
  remove_visual_studio_key
  check "msiexec /i without Visual Studio fails" fails msiexec_package /i "$version"
  check "nothing registered without Visual Studio" [ -z "$(registered)" ]
  check "no tool folder without Visual Studio" absent "$installed"

  scenario "MSI repair brings back a deleted wizard file"
  tool_dir=$installed
  check "msiexec /i $version succeeds" msiexec_package /i "$version"
  rm "$wizard_dir/TaskWizard.vsz"
  check "msiexec repair succeeds" msiexec_package /i "$version" REINSTALL=ALL REINSTALLMODE=omus
  expect_msi_installed "C:\\$program_files\\WizardSetup\\"
  remove_visual_studio_key
  check "msiexec /x succeeds without Visual Studio" msiexec_package /x "$version"
  check "tool folder removed without Visual Studio" absent "$installed"

  scenario "MSI rolls back an installation that fails after /install"
  failing_copy "$scratch/fails.msi" 4003 'NOT REMOVE'
  check "msiexec /i fails" fails msiexec_file /i "$scratch/fails.msi"
  check "nothing registered after the failed installation" [ -z "$(registered)" ]
  check "no tool folder after the failed installation" absent "$installed"
  expect_none_of_the_six

  # Wine then drops the product's registration, where Windows keeps it.
  scenario "MSI rolls back a removal that fails after /uninstall"
  tool_dir=$installed
  failing_copy "$scratch/fails.msi" 3499 'REMOVE="ALL"'
  check "msiexec /i of the copy succeeds" msiexec_file /i "$scratch/fails.msi"
  check "msiexec /x fails" fails msiexec_file /x "$scratch/fails.msi"
  expect_msi_installed "C:\\$program_files\\WizardSetup\\"
}
