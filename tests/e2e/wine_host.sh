# shellcheck shell=bash disable=SC2034  # its variables are its callers'
# What this machine runs of 32-bit x86 code and of Wine, and a private prefix
# to run Wine in. Sourced by the end-to-end suite, the release checks and the
# scripts (install-deps too): the one place that decides it.
#
#   i386_kernel        true where the kernel runs 32-bit x86 programs; else
#                      i386_kernel_says why
#   i386_runs          true where 32-bit x86 programs start under Wine: some
#                      hosts run 64-bit code only, and on others the i386
#                      Wine may not be installable. WIZARDSETUP_NO_I386=1
#                      says no anywhere.
#   i386_missing       one line: why they do not
#   wine32_note        where scripts/install-deps remembers why wine32:i386
#                      cannot be installed, so that no later run tries again:
#                      below $WIZARDSETUP_STATE_DIR, by default
#                      /var/lib/wizardsetup
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
wine32_note=${WIZARDSETUP_STATE_DIR:-/var/lib/wizardsetup}/wine32-not-installable

# Known before any i386 package is here: a static i386 program of 93 bytes
# that only exits 0 (mov eax,1; xor ebx,ebx; int 0x80) fails with "Exec
# format error" where the kernel does not run 32-bit code. A folder that
# runs no program at all (mounted noexec) is passed over for the next.
i386_kernel() {
  local folder probe said=""
  for folder in "${TMPDIR:-/tmp}" /tmp /var/tmp /dev/shm; do
    probe=$(mktemp "$folder/i386-probe.XXXXXX" 2>/dev/null) || continue
    printf '%b' '\x7fELF\x01\x01\x01\0\0\0\0\0\0\0\0\0' \
      '\x02\0\x03\0\x01\0\0\0\x54\x80\x04\x08\x34\0\0\0\0\0\0\0' \
      '\0\0\0\0\x34\0\x20\0\x01\0\0\0\0\0\0\0' \
      '\x01\0\0\0\0\0\0\0\0\x80\x04\x08\0\x80\x04\x08' \
      '\x5d\0\0\0\x5d\0\0\0\x05\0\0\0\0\x10\0\0' \
      '\xb8\x01\0\0\0\x31\xdb\xcd\x80' > "$probe"
    chmod +x "$probe"
    said=$(LC_ALL=C "$probe" 2>&1) && { rm -f "$probe"; return 0; }
    rm -f "$probe"
    case $said in
      *"Exec format error"*)
        i386_kernel_says="this machine does not run 32-bit x86 code (Exec format error)"
        return 1 ;;
    esac
  done
  i386_kernel_says="no temporary folder here runs a program, so whether this machine runs 32-bit x86 code is unknown (${said##*: })"
  return 1
}

i386_runs() {
  [ "${WIZARDSETUP_NO_I386:-}" != 1 ] && "$wine32_loader" --version >/dev/null 2>&1
}

i386_missing() {
  if [ "${WIZARDSETUP_NO_I386:-}" = 1 ]; then
    echo "WIZARDSETUP_NO_I386=1 is set, so 32-bit x86 code counts as unable to run here"
  elif ! i386_kernel; then
    echo "$i386_kernel_says"
  elif [ -s "$wine32_note" ]; then
    echo "wine32:i386 cannot be installed here: $(cat "$wine32_note") (remembered in $wine32_note: remove it to try again)"
  elif [ ! -e "$wine32_loader" ]; then
    echo "the i386 Wine (wine32:i386) is not installed: scripts/install-deps all installs it"
  else
    local said
    said=$("$wine32_loader" --version 2>&1 | tail -n 1 | sed 's/^.*line [0-9]*: //')
    case $said in
      *"Exec format error"*) echo "this machine does not run 32-bit x86 code (the i386 Wine: $said)" ;;
      *) echo "the i386 Wine cannot start ($said)" ;;
    esac
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
