# shellcheck shell=bash disable=SC2034  # its variables are its callers'
# The sandbox a scenario runs in, for the native tool or for WizardSetup.exe
# under Wine: a Visual Studio 8.0 tree, its registry entry, and a tool folder
# holding the executable, the icons and the wizard folders. Sourced by the
# end-to-end suite and the scripts; nothing happens before open_sandbox.
#
#   open_sandbox native|wine BUILD_DIR   a scratch folder, for Wine with a
#       private prefix and the exe of that Windows build, whose facts it
#       reads; close_sandbox stops and removes it
#   reset_sandbox, run_tool ARGS..., windows_path PATH, move_tool RELATIVE,
#   set_install_dir TEXT|NUMBER [TYPE], set_install_dir_unterminated TEXT,
#   remove_install_dir_value, remove_visual_studio_key, long_install_dir N
#   sandbox, tool_dir, wizard_dir; tool_dir_windows, install_dir_windows
#   scratch, tool_binary; for Wine wine_helpers, and the build's facts
#   set_up STEP COMMAND...: one set-up step, checked
#
# Every step that sets the registry up is checked, the value written read
# back: one that fails returns 1 and leaves in sandbox_broken the step and
# what failed said (Wine's own words), so that a set-up that failed is never
# taken for the tool's doing.

# shellcheck source-path=SCRIPTDIR source-path=tests/e2e source=wine_host.sh
source "${BASH_SOURCE[0]%/*}/wine_host.sh"

registry_key='HKLM\SOFTWARE\Microsoft\VisualStudio\8.0'

open_sandbox() {  # open_sandbox native|wine BUILD_DIR
  sandbox_mode=$1
  sandbox_work=$(mktemp -d "${TMPDIR:-/tmp}/wizard-e2e.XXXXXX")
  scratch=$sandbox_work/scratch
  mkdir -p "$scratch"
  if [ "$sandbox_mode" = native ]; then
    tool_binary=$2/WizardSetup
    sandbox=$sandbox_work/sandbox
    native_registry=$sandbox_work/registry
    native_value=$native_registry/HKEY_LOCAL_MACHINE/SOFTWARE/Microsoft/VisualStudio/8.0/InstallDir
  else
    # shellcheck source=cmake/build_facts.sh.in
    source "$2/build_facts.sh"
    use_wine "$bits"
    start_wine "$sandbox_work"
    tool_binary=$2/WizardSetup.exe
    wine_helpers=$2/tests/e2e
    sandbox=$WINEPREFIX/drive_c/sandbox
  fi
}

close_sandbox() {
  [ "${sandbox_mode:-native}" = native ] || stop_wine
  rm -rf "${sandbox_work:?}"
}

to_windows() { printf '%s' "${1//\//\\}"; }

# The tool runs from a decoy IDE folder holding decoy icons, so a path made
# relative (by a relative install directory, or an unknown tool folder)
# shows as a change.
reset_sandbox() {
  rm -rf "$sandbox"
  sandbox_cwd=$sandbox/decoy/Common7/IDE
  mkdir -p "$sandbox/VS8/Common7/IDE" "$sandbox/VS8/VC#/CSharpProjects" \
    "$sandbox/Tool/TaskWizard" "$sandbox/Tool/ComponentWizard" "$sandbox_cwd" \
    "$sandbox/decoy/VC#/CSharpProjects"
  printf 'the IDE' > "$sandbox/VS8/Common7/IDE/devenv.exe"
  printf 'decoy' | tee "$sandbox_cwd/TaskWizard.ico" > "$sandbox_cwd/ComponentWizard.ico"
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
# folder through a padding folder, which need not exist, and "..".
long_install_dir() {
  local ide="\\..\\VS8\\Common7\\IDE\\"
  local prefix
  prefix=$(windows_path "$sandbox")\\
  local pad_length=$(($1 - ${#prefix} - ${#ide}))
  local pad
  pad=$(head -c "$pad_length" /dev/zero | tr '\0' p)
  printf '%s' "$prefix$pad$ide"
}

move_tool() {
  mkdir -p "$sandbox/$1"
  rmdir "$sandbox/$1"
  mv "$tool_dir" "$sandbox/$1"
  tool_dir=$sandbox/$1
  tool_dir_windows=$(windows_path "$tool_dir")\\
}

set_up() {  # set_up STEP COMMAND...
  local said attempt
  # Wine's own programs now and then fail to start on a busy host (seen
  # once in a few hundred starts): a step is tried once more.
  for attempt in 1 2; do
    said=$("${@:2}" 2>&1) && return 0
  done
  sandbox_broken="$1 failed: $(printf '%s' "$said" | tr -d '\r' | grep -v '^ *$' | tail -n 1)"
  return 1
}

windows_path() { "${sandbox_mode}_windows_path" "$@"; }
run_tool() { "${sandbox_mode}_run_tool" "$@"; }
set_install_dir() { set_up "writing InstallDir" "${sandbox_mode}_set_install_dir" "$@"; }
set_install_dir_unterminated() {
  set_up "writing InstallDir unterminated" "${sandbox_mode}_set_install_dir_unterminated" "$@"
}
remove_install_dir_value() { set_up "removing InstallDir" "${sandbox_mode}_remove_install_dir_value"; }
remove_visual_studio_key() {
  set_up "removing the Visual Studio key" "${sandbox_mode}_remove_visual_studio_key"
}

# --- native: the registry is a folder tree, paths are the host's ------------

native_windows_path() { to_windows "$1"; }

# $TOOL_RUNNER, when set, runs the tool (under valgrind, say).
native_run_tool() {
  # shellcheck disable=SC2086  # TOOL_RUNNER is a command and its options
  (cd "$sandbox_cwd" &&
    WIZARDSETUP_REGISTRY=$native_registry ${TOOL_RUNNER:-} "$tool_dir/WizardSetup" "$@")
}
native_set_install_dir() {
  mkdir -p "${native_value%/*}"
  if [ "${2:-}" = REG_DWORD ]; then
    perl -e 'print pack "V", oct shift' "$1" > "$native_value"
  else
    printf '%s\0' "$1" > "$native_value"
  fi
}
native_set_install_dir_unterminated() {
  mkdir -p "${native_value%/*}"
  printf '%s' "$1" > "$native_value"
}
native_remove_install_dir_value() { rm -f "$native_value"; }
native_remove_visual_studio_key() { rm -rf "$native_registry"; }

# --- Wine: drive C is the prefix's, the rest is Z: ---------------------------

wine_windows_path() {
  case $1 in
    "$WINEPREFIX/drive_c"/*) printf 'C:%s' "$(to_windows "${1#"$WINEPREFIX/drive_c"}")" ;;
    *) printf 'Z:%s' "$(to_windows "$1")" ;;
  esac
}

wine_run_tool() {
  (cd "$sandbox_cwd" && wine "${tool_dir_windows}WizardSetup.exe" "$@")
}
quiet_wine() { wine "$@" >/dev/null 2>&1; }
# The suite's helper stores a value as reg.exe does (UTF-16 text and its
# terminator, or a DWORD) and reads it back, or clears both views, in one
# Wine process; a build without the tests (the demo's) has no helper, and
# reg.exe writes and clears.
wine_helper() { wine "$wine_helpers/vs_registry.exe" "$@"; }
has_wine_helper() { [ -e "$wine_helpers/vs_registry.exe" ]; }
utf16_hex() { printf '%s' "$1" | iconv -t UTF-16LE | od -An -v -tx1 | tr -d ' \n'; }
wine_set_install_dir() {  # TEXT|NUMBER [TYPE]
  if ! has_wine_helper; then
    wine reg add "$registry_key" /v InstallDir /t "${2:-REG_SZ}" /d "$1" "$tool_view" /f
  elif [ "${2:-}" = REG_DWORD ]; then
    wine_helper raw 4 "$(perl -e 'print unpack "H*", pack "V", oct shift' "$1")"
  else
    wine_helper raw "$([ "${2:-}" = REG_EXPAND_SZ ] && echo 2 || echo 1)" "$(utf16_hex "$1")0000"
  fi
}
wine_set_install_dir_unterminated() { wine_helper raw 1 "$(utf16_hex "$1")"; }
wine_remove_install_dir_value() {
  wine reg delete "$registry_key" /v InstallDir "$tool_view" /f
}
wine_remove_visual_studio_key() {
  if has_wine_helper; then
    wine_helper clear
  else
    # Removing what is not there is no failure.
    wine reg delete "$registry_key" /f "$other_view"
    wine reg delete "$registry_key" /f "$tool_view"
    true
  fi
}
