# shellcheck shell=bash disable=SC2034  # its variables are its callers'
# What this machine's Wine can run, and a private prefix to run it in.
# Sourced by the end-to-end suite, the release checks and the scripts.
#
#   i386_runs          true where 32-bit x86 programs start under Wine: some
#                      hosts run 64-bit code only, and on others the i386
#                      Wine may not be installable. WIZARDSETUP_NO_I386=1
#                      says no anywhere.
#   i386_missing       one line: why they do not
#   windows_host       what this host runs of the tool under Wine: the product
#                      where 32-bit code runs, else its 64-bit twin. Sets
#                      host_bits (32|64), host_preset (windows|windows64) and
#                      host_label (which it is, and why), and picks its loader
#   use_wine 32|64     picks the loader for programs of that bitness; then
#                      `wine PROGRAM ARGS...` runs one
#   start_wine DIR     makes and boots a 64-bit prefix in DIR/prefix, with
#                      Wine's own temporary files in DIR too, and checks once
#                      that the loader starts a program; exits with one line
#                      naming the cause when it cannot
#   stop_wine          stops that prefix's Wine processes

wine32_loader=/usr/lib/wine/wine
wine64_loader=/usr/lib/wine/wine64

i386_runs() {
  [ "${WIZARDSETUP_NO_I386:-}" != 1 ] && "$wine32_loader" --version >/dev/null 2>&1
}

i386_missing() {
  if [ "${WIZARDSETUP_NO_I386:-}" = 1 ]; then
    echo "WIZARDSETUP_NO_I386=1 is set, so 32-bit x86 code counts as unable to run here"
  elif [ ! -e "$wine32_loader" ]; then
    echo "the i386 Wine (wine32:i386) is not installed; scripts/install-deps says why"
  else
    echo "this machine cannot start 32-bit x86 programs ($("$wine32_loader" --version 2>&1 | tail -n 1 | sed 's/^.*line [0-9]*: //'))"
  fi
}

# The `wine` wrapper always tries the i386 loader first: each loader is
# called by its own path.
use_wine() {
  if [ "$1" = 64 ]; then
    wine_loader=$wine64_loader
    export WINELOADER=$wine64_loader
  else
    wine_loader=$wine32_loader
    unset WINELOADER
  fi
}

wine() { "$wine_loader" "$@"; }

windows_host() {
  if i386_runs; then
    host_bits=32 host_preset=windows
    host_label="WizardSetup.exe (32-bit, the product)"
  else
    host_bits=64 host_preset=windows64
    host_label="the 64-bit twin of WizardSetup.exe, as $(i386_missing)"
  fi
  use_wine "$host_bits"
}

# Wine's background processes inherit the output of whoever starts them:
# they are started with theirs going nowhere.
start_wine() {
  export WINEPREFIX=$1/prefix TMPDIR=$1 WINEARCH=win64 WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  unset DISPLAY WAYLAND_DISPLAY
  wineserver -p >/dev/null 2>&1 || true
  wine wineboot -i >/dev/null 2>&1 || true
  local said status=0
  said=$(wine cmd /c exit 0 2>&1) || status=$?
  if [ "$status" -ne 0 ]; then
    echo "Wine cannot start a program with $wine_loader (status $status): $(printf '%s' "$said" | tail -n 1)"
    exit 1
  fi
}

stop_wine() { wineserver -k >/dev/null 2>&1 || true; }
