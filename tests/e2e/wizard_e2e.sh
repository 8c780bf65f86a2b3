#!/usr/bin/env bash
# End-to-end suite: runs the built tool as a user would, in a throwaway
# sandbox, and checks the exit status, the silence, and the whole file tree
# afterwards: the six wizard files byte for byte, and nothing else changed.
#
#   wizard_e2e.sh native BUILD_DIR   the native tool with its POSIX stand-in
#   wizard_e2e.sh wine BUILD_DIR     the WizardSetup.exe of that Windows build
#                                    (the product, or its 64-bit twin) under
#                                    Wine, in a private 64-bit prefix, run as
#                                    an unprivileged user so that read-only
#                                    files hold; also its MSI, upgraded to
#                                    the next version. The product is
#                                    skipped (77) where 32-bit code cannot
#                                    run.
# WIZARDSETUP_SCENARIO=TEXT runs only the scenarios whose names hold TEXT,
# such as "switches in any case".
set -u
usage="usage: wizard_e2e.sh native|wine BUILD_DIR"
mode=${1:?$usage}
build=$(cd "${2:?$usage}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
samples=$here/../sample_wizards
if [ "$mode" = wine ]; then
  # shellcheck source=cmake/build_facts.sh.in
  source "$build/build_facts.sh"
fi

# shellcheck source-path=SCRIPTDIR source=sandbox.sh
source "$here/sandbox.sh"
# shellcheck source-path=SCRIPTDIR source=expected_files.sh
source "$here/expected_files.sh"
if [ "$mode" = wine ] && [ "$bits" = 32 ] && ! i386_runs; then
  echo "SKIPPED: the 32-bit WizardSetup.exe is not run: $(i386_missing)"
  exit 77
fi

# Wine lets root overwrite read-only files, as Windows never does, so the
# suite runs as the unprivileged user nobody, from a copy that user owns.
if [ "$mode" = wine ] && [ "$(id -u)" -eq 0 ]; then
  staged=$(mktemp -d "${TMPDIR:-/tmp}/wizard-wine.XXXXXX")
  trap 'rm -rf "$staged"' EXIT
  trap 'exit 143' INT TERM
  mkdir -p "$staged/e2e" "$staged/build/tests/e2e" \
    "$staged/build/tests/packages" "$staged/home"
  cp "$here"/*.sh "$staged/e2e/"
  cp -r "$samples" "$staged/"
  cp "$build/WizardSetup.exe" "$build"/*.ico "$build/build_facts.sh" "$staged/build/"
  cp "$build"/tests/e2e/*.exe "$staged/build/tests/e2e/"
  cp -r "$build"/tests/packages/*.msi "$build"/tests/packages/*-stage \
    "$staged/build/tests/packages/"
  chown -R 65534:65534 "$staged"
  setpriv --reuid=65534 --regid=65534 --clear-groups \
    env -i PATH="$PATH" HOME="$staged/home" TMPDIR="$staged" \
    WIZARDSETUP_NO_I386="${WIZARDSETUP_NO_I386:-}" \
    WIZARDSETUP_SCENARIO="${WIZARDSETUP_SCENARIO:-}" \
    bash "$staged/e2e/wizard_e2e.sh" wine "$staged/build"
  exit
fi

open_sandbox "$mode" "$build"
trap close_sandbox EXIT
trap 'exit 143' INT TERM
runs=$tool_binary
[ "$mode" = wine ] && runs="$runs ($bits-bit) under $wine_loader"
echo "$mode suite runs $runs as $(id -un 2>/dev/null || echo "uid $(id -u)") (uid $(id -u))"

passed=0
failed=0
current=""
selected=yes

# --- reporting -------------------------------------------------------------

# A scenario whose set-up failed stops there, failed once, naming the step.
set_up_held() {
  [ -n "${sandbox_broken:-}" ] || return 0
  failed=$((failed + 1))
  printf 'not ok - %s: the set-up, %s\n' "$current" "$sandbox_broken"
  sandbox_broken=""
  selected=no
  return 1
}

check() {  # check DESCRIPTION COMMAND...
  [ "$selected" = yes ] && set_up_held || return 0
  if "${@:2}"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    printf 'not ok - %s: %s\n' "$current" "$1"
  fi
}

# Each scenario starts from a fresh sandbox. One that WIZARDSETUP_SCENARIO
# leaves out still sets its files up, silently, but runs and checks nothing.
exec 3>&2
scenario() {
  current=$1
  selected=yes
  sandbox_broken=""
  [[ $1 == *"${WIZARDSETUP_SCENARIO:-}"* ]] || selected=no
  if [ "$selected" = yes ]; then exec 2>&3; else exec 2>/dev/null; fi
  reset_sandbox
}

# --- expectations ----------------------------------------------------------

wizard_files=(TaskWizard.ico TaskWizard.vsdir TaskWizard.vsz
              ComponentWizard.ico ComponentWizard.vsdir ComponentWizard.vsz)

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
  [ "$selected" = yes ] && set_up_held || return 0
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

# Each named wizard file holds what /install writes there: the tool's icon,
# the directory record, or the launch file naming $launch_tool (the tool
# folder unless set); each name after a dash is absent.
expect_files() {  # expect_files [-]NAME...
  local name
  for name in "$@"; do
    case $name in
      -*) check "${name#-} absent" absent "$wizard_dir/${name#-}" ;;
      *.ico) check "$name is the tool's icon" has_bytes "$wizard_dir/$name" < "$tool_dir/$name" ;;
      *.vsdir) check "$name bytes" has_bytes "$wizard_dir/$name" < <(expected_record "${name%.*}") ;;
      *) check "$name bytes" has_bytes "$wizard_dir/$name" < <(expected_launch_file "${name%.*}" "${launch_tool:-$tool_dir_windows}") ;;
    esac
  done
}
expect_installed() { launch_tool=${1:-} expect_files "${wizard_files[@]}"; }  # [TOOL_DIR]
expect_none_of_the_six() { expect_files "${wizard_files[@]/#/-}"; }
descriptors_only=(-TaskWizard.ico TaskWizard.vsdir TaskWizard.vsz -ComponentWizard.ico
  ComponentWizard.vsdir ComponentWizard.vsz)

# Holds a wizard file open with no sharing from another process (natively,
# flock(1) takes the lock a writer holds) while the tool runs with the given
# arguments.
run_while_held() {  # run_while_held NAME ARGS...
  local held=$wizard_dir/$1
  rm -f "$scratch/ready" "$scratch/release"
  if [ "$mode" = wine ]; then
    wine "$wine_helpers/hold_file.exe" "$(windows_path "$held")" \
      "$(windows_path "$scratch/ready")" "$(windows_path "$scratch/release")" \
      >/dev/null 2>&1 &
  else
    # shellcheck disable=SC2016  # expanded by the holder's shell
    flock -x "$held" sh -c 'touch "$1"; until [ -e "$2" ]; do sleep 0.05; done' \
      holder "$scratch/ready" "$scratch/release" &
  fi
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

# --- native only -------------------------------------------------------------

native_scenarios() {
  # Windows refuses the wizard paths of so long an install directory (they
  # pass MAX_PATH); here they work, which shows the value was read whole.
  scenario "InstallDir of 259 characters is used"
  set_install_dir "$(long_install_dir 259)"
  run /install
  expect_installed

  # A drive letter is absolute on Windows, below the working directory on
  # POSIX; a network path whose server and share are ".." climbs to "/" on
  # POSIX, where Windows names nothing.
  scenario "InstallDir naming no folder here leads nowhere"
  mkdir -p "$sandbox_cwd/C:/VS8/VC#/CSharpProjects"
  for value in 'C:\VS8\Common7\IDE\' "\\\\..\\..$install_dir_windows"; do
    set_install_dir "$value"
    run /install
    expect_none_of_the_six
  done

  # Windows never reports a folder named with a trailing dot: a tool there
  # knows no tool folder, and takes no icon from the one its name would be.
  scenario "tool folder named as Windows names none is no tool folder"
  move_tool "Tool."
  mkdir "$sandbox/Tool"
  printf 'another product' | tee "$sandbox/Tool/TaskWizard.ico" > "$sandbox/Tool/ComponentWizard.ico"
  run /install
  expect_files -TaskWizard.ico -ComponentWizard.ico TaskWizard.vsdir ComponentWizard.vsdir -TaskWizard.vsz -ComponentWizard.vsz

  # A writer waits on the FIFO until someone opens it to read.
  scenario "a FIFO in place of a wizard file is passed over at once"
  mkfifo "$wizard_dir/TaskWizard.vsz"
  (exec 3> "$wizard_dir/TaskWizard.vsz" && touch "$scratch/opened") &
  TOOL_RUNNER="timeout 10 ${TOOL_RUNNER:-}" run /install
  expect_files TaskWizard.ico TaskWizard.vsdir ComponentWizard.ico ComponentWizard.vsdir ComponentWizard.vsz
  TOOL_RUNNER="timeout 10 ${TOOL_RUNNER:-}" run /uninstall
  check "TaskWizard.vsz still a FIFO" [ -p "$wizard_dir/TaskWizard.vsz" ]
  check "TaskWizard.vsz never opened" absent "$scratch/opened"
  # Read from the writer's side, whenever it opens, and so let it go.
  timeout 10 cat "$wizard_dir/TaskWizard.vsz" > /dev/null
  wait

  # A run started under a strict umask that loses its first lock (strace
  # plays the other writer) leaves the icon file it made; later runs replace
  # and delete it like any other.
  scenario "files left by a run under a strict umask are replaced later"
  if [ -n "${TOOL_RUNNER:-}" ] || ! command -v strace >/dev/null; then
    [ "$selected" = no ] || echo "left out: \"$current\", which needs strace and a tool run by itself"
  else
    (umask 0222 && TOOL_RUNNER="strace -f -o /dev/null -e trace=flock -e inject=flock:error=EAGAIN:when=1" run_tool /install)
    check "the first run left an empty TaskWizard.ico" cmp -s /dev/null "$wizard_dir/TaskWizard.ico"
    run /install
    expect_installed
    run /uninstall
    expect_none_of_the_six
  fi

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

# --- Wine only ---------------------------------------------------------------

# The MSI scenarios use packages of the tool with the sample wizard folders,
# of this version and of the next, built from the release's template.
msiexec_file() {  # msiexec_file /i|/x PACKAGE [PROPERTY=VALUE...], at the UI level $msi_ui
  quiet_wine msiexec "$1" "$(windows_path "$2")" "${msi_ui:-/qn}" "${@:3}"
}
msiexec_package() {  # msiexec_package /i|/x VERSION [PROPERTY=VALUE...]
  msiexec_file "$1" "$build/tests/packages/WizardSetup-$2.msi" "${@:3}"
}
# A copy of the package of VERSION (this one unless given), under a package
# code of its own, with an action that fails, deferred, at SEQUENCE when
# CONDITION holds: the cmd of the package's own bitness, which any host that
# runs the package runs.
failing_copy() {  # failing_copy PACKAGE SEQUENCE CONDITION [VERSION]
  local template source=$build/tests/packages/WizardSetup-${4:-$version}.msi
  template=$(msiinfo suminfo "$source" | sed -n 's/^Template: //p')
  cp "$source" "$1"
  msibuild "$1" \
    -q "INSERT INTO \`CustomAction\` (\`Action\`, \`Type\`, \`Source\`, \`Target\`) VALUES ('FailHere', 3106, 'INSTALLDIR', '\"[$system_folder]cmd.exe\" /c exit 1')" \
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
  find "$installed" "$wizard_dir" -type f -exec md5sum {} + | sort
}
# Where expect_msi_installed looks for the tool folder: PATH below C:\.
tool_folder() {
  installed="$WINEPREFIX/drive_c/$1"
  installed_windows="C:\\${1//\//\\}\\"
}
# The tool folder as the package VERSION packs it.
packed_tool_dir() { echo "$build"/tests/packages/*-stage/"WizardSetup-$1"; }
# The tool folder installed as the package VERSION packed it, file by file
# and nothing else, and the six files naming it.
expect_msi_installed() {  # expect_msi_installed VERSION
  local stage file
  stage=$(packed_tool_dir "$1")
  while read -r file; do
    check "$file installed" cmp -s "$installed/$file" "$stage/$file"
  done < <(cd "$stage" && find . -type f | LC_ALL=C sort)
  check "nothing else installed" diff -rq "$installed" "$stage"
  tool_dir=$installed expect_installed "$installed_windows"
}

# The value that records the tool folder for administrators: kept, deleted,
# or made TEXT (a relative folder, another folder).
record_tool_folder() {  # record_tool_folder kept|deleted|TEXT
  local key='HKLM\SOFTWARE\WizardSetup'
  case $1 in
    kept) ;;
    deleted) set_up "deleting the recorded tool folder" wine reg delete "$key" /v InstallDir "$tool_view" /f ;;
    *) set_up "recording $1 as the tool folder" wine reg add "$key" /v InstallDir /d "$1" "$tool_view" /f ;;
  esac
}
# The product is installed in C:\FOLDER as the package VERSION packed it, and
# in no other tool folder; with FOLDER -, nowhere, and not registered.
expect_product_in() {  # expect_product_in FOLDER|- VERSION
  local folder
  for folder in Custom Other Elsewhere "$program_files/WizardSetup"; do
    [ "$folder" = "$1" ] || check "no tool folder in C:\\$folder" absent "$WINEPREFIX/drive_c/$folder"
  done
  if [ "$1" = - ]; then
    check "no product registered" [ -z "$(registered)" ]
    expect_none_of_the_six
  else
    tool_folder "$1"
    expect_msi_installed "$2"
  fi
}

wine_scenarios() {
  scenario "key only in the other registry view ($other_view) is not found"
  remove_visual_studio_key
  set_up "writing InstallDir in the other view" wine reg add "$registry_key" /v InstallDir /t REG_SZ /d "$install_dir_windows" "$other_view" /f
  run /install
  expect_none_of_the_six

  scenario "MSI installs, upgrades in the folder it was given, refuses a downgrade and removes"
  tool_folder "Wizard Tools"
  check "msiexec /i $version into $installed_windows succeeds" msiexec_package /i "$version" "INSTALLDIR=$installed_windows"
  check "one product registered: $version" [ "$(registered)" = "$version " ]
  expect_msi_installed "$version"
  check "msiexec /i $next_version succeeds" msiexec_package /i "$next_version"
  check "one product registered: $next_version" [ "$(registered)" = "$next_version " ]
  expect_msi_installed "$next_version"
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
  tool_folder "$program_files/WizardSetup"
  remove_visual_studio_key
  check "msiexec /i without Visual Studio fails" fails msiexec_package /i "$version"
  check "nothing registered without Visual Studio" [ -z "$(registered)" ]
  check "no tool folder without Visual Studio" absent "$installed"

  scenario "MSI repair brings back a deleted wizard file and exe, and removes without Visual Studio"
  check "msiexec /i $version succeeds" msiexec_package /i "$version"
  rm "$wizard_dir/TaskWizard.vsz" "$installed/WizardSetup.exe"
  check "msiexec repair succeeds" msiexec_package /i "$version" REINSTALL=ALL REINSTALLMODE=omus
  expect_msi_installed "$version"
  remove_visual_studio_key
  check "msiexec /x succeeds without Visual Studio" msiexec_package /x "$version"
  check "tool folder removed without Visual Studio" absent "$installed"

  # Each row acts on what the row before left, after the value that records
  # the tool folder was kept, deleted, made relative or pointed elsewhere:
  # an installation or upgrade goes where its command line says, else where
  # the product is, and a repair or removal acts where the product is, with
  # or without a UI sequence before it. The folders are below C:\.
  scenario "MSI acts where the product is, whatever became of the folder it records"
  local title=$current value ui operation package given expected arguments
  while read -r value ui operation package given expected; do
    current="$title ($value, $ui $operation of the $package version, given $given)"
    record_tool_folder "$value"
    arguments=(/i "$version")
    [ "$package" = this ] || arguments[1]=$next_version
    [ "$operation" != repair ] || arguments+=(REINSTALL=ALL REINSTALLMODE=omus)
    [ "$operation" != remove ] || arguments[0]=/x
    [ "$given" = - ] || arguments+=("INSTALLDIR=C:\\$given\\")
    msi_ui=$ui check "msiexec ${arguments[*]} succeeds" msiexec_package "${arguments[@]}"
    expect_product_in "$expected" "${arguments[1]}"
  done <<'ROWS'
kept            /qn install this Custom Custom
deleted         /qr install next -      Custom
C:\Elsewhere\   /qn repair  next -      Custom
kept            /qn repair  next Other  Custom
C:\Elsewhere\   /qn remove  next -      -
kept            /qn install this Custom Custom
Relative\       /qn install next -      Custom
kept            /qr remove  next -      -
kept            /qn install this Custom Custom
kept            /qn install next Other  Other
kept            /qn remove  next -      -
ROWS

  scenario "MSI rolls back an installation that fails after /install"
  tool_folder "$program_files/WizardSetup"
  failing_copy "$scratch/fails.msi" 4003 'NOT REMOVE'
  check "msiexec /i fails" fails msiexec_file /i "$scratch/fails.msi"
  check "nothing registered after the failed installation" [ -z "$(registered)" ]
  check "no tool folder after the failed installation" absent "$installed"
  expect_none_of_the_six

  # Windows Installer then puts the older version back as well; Wine does
  # not, but shows that the rollback leaves the six files it needs.
  scenario "MSI keeps the wizard files when an upgrade fails after /install"
  check "msiexec /i $version succeeds" msiexec_package /i "$version"
  failing_copy "$scratch/fails.msi" 4003 'NOT REMOVE' "$next_version"
  check "msiexec /i of a failing $next_version fails" fails msiexec_file /i "$scratch/fails.msi"
  tool_dir=$(packed_tool_dir "$version") expect_installed "$installed_windows"

  # Wine then drops the product's registration, where Windows keeps it.
  scenario "MSI rolls back a removal that fails after /uninstall"
  failing_copy "$scratch/fails.msi" 3499 'REMOVE="ALL"'
  check "msiexec /i of the copy succeeds" msiexec_file /i "$scratch/fails.msi"
  check "msiexec /x fails" fails msiexec_file /x "$scratch/fails.msi"
  expect_msi_installed "$version"
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
mkdir -p "$sandbox/%WIZARD_VS%/VC#/CSharpProjects"
set_install_dir "${install_dir_windows/VS8/%WIZARD_VS%}" REG_EXPAND_SZ
wizard_dir="$sandbox/%WIZARD_VS%/VC#/CSharpProjects"
WIZARD_VS=VS8 run /install
expect_installed

scenario "missing icons still give the four descriptors"
rm "$tool_dir/TaskWizard.ico" "$tool_dir/ComponentWizard.ico"
run /install
expect_files "${descriptors_only[@]}"

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
expect_files -ComponentWizard.ico -TaskWizard.vsz
run /install
check "read-only copy not replaced" has_bytes "$wizard_dir/TaskWizard.ico" < "$scratch/first.ico"
expect_files ComponentWizard.vsz

scenario "descriptor held open by another program"
printf 'held content' > "$wizard_dir/TaskWizard.vsz"
run_while_held TaskWizard.vsz /install
check "held TaskWizard.vsz untouched" has_bytes "$wizard_dir/TaskWizard.vsz" < <(printf 'held content')
expect_files TaskWizard.vsdir ComponentWizard.vsz ComponentWizard.ico
run_while_held TaskWizard.vsz /uninstall
check "held TaskWizard.vsz not deleted" has_bytes "$wizard_dir/TaskWizard.vsz" < <(printf 'held content')
expect_files -ComponentWizard.vsz -TaskWizard.ico

scenario "IDE folder linked into another tree, or missing below a folder named with a trailing dot"
mkdir -p "$sandbox/Other/Deep/IDE" "$sandbox/Other/VC#/CSharpProjects"
printf 'another product' > "$sandbox/Other/VC#/CSharpProjects/TaskWizard.vsz"
rm -r "$sandbox/VS8/Common7/IDE"
ln -s ../../Other/Deep/IDE "$sandbox/VS8/Common7/IDE"
run /install
expect_installed
run /uninstall
expect_none_of_the_six
rm "$sandbox/VS8/Common7/IDE"
set_install_dir "${install_dir_windows/VS8/VS8.}"
run /install
expect_installed

scenario "tool folder with blanks and #"
move_tool "Wizard Tools #1"
run /install
expect_installed

scenario "tool folder longer than 260 characters"
move_tool "$(printf 'd%.0s' $(seq 200))/$(printf 'e%.0s' $(seq 100))"
run /install
expect_files "${descriptors_only[@]}"

scenario "tool folder too long to name leaves launch files alone"
move_tool "$(printf 'f%.0s' $(seq 200))/$(printf 'g%.0s' $(seq 200))"
printf 'a good old launch file' > "$wizard_dir/TaskWizard.vsz"
run /install
check "old TaskWizard.vsz untouched" has_bytes "$wizard_dir/TaskWizard.vsz" < <(printf 'a good old launch file')
expect_files -ComponentWizard.vsz -TaskWizard.ico TaskWizard.vsdir

if [ "$mode" = native ]; then native_scenarios; else wine_scenarios; fi

printf '%s: %d passed, %d failed\n' "$mode" "$passed" "$failed"
[ "$failed" -eq 0 ]
