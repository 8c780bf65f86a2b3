#!/usr/bin/env bash
# scripts/install-deps against a fake apt-get, dpkg, id and sudo, on the
# machine's other commands: it waits for a lock that another package manager
# holds and names one held too long; it stops at once, saying so, without
# root or sudo; it keeps DEBIAN_FRONTEND across sudo; and where wine32:i386
# cannot be installed it says why once, removes the i386 architecture it
# added, and tries no more.
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source-path=SCRIPTDIR source=../e2e/wine_host.sh
source "$here/../e2e/wine_host.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/install-deps-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
passed=0
failed=0
check() {  # check DESCRIPTION COMMAND...
  if "${@:2}"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "not ok - $1"; fi
}

mkdir "$work/system" "$work/fakes"
for command in bash env grep sed cut sort paste mktemp rm chmod cat sleep tail tee mkdir dirname; do
  ln -s "$(command -v "$command")" "$work/system/"
done
fake() { printf '#!/bin/bash\n%s\n' "$2" > "$work/fakes/$1"; chmod +x "$work/fakes/$1"; }
# apt-get: refused while $FAKE/locked counts down, wine32:i386 never had.
fake apt-get 'echo "${DEBIAN_FRONTEND:-} $*" >> "$FAKE/calls"
locked=$(cat "$FAKE/locked")
if [ "$locked" -gt 0 ]; then
  echo $((locked - 1)) > "$FAKE/locked"
  echo "E: Could not get lock /var/lib/dpkg/lock-frontend. It is held by process 42 (unattended-upgr)"; exit 100
fi
case " $* " in *" wine32:i386 "*)
  echo " wine32:i386 : Depends: libwine:i386 but it is not going to be installed"; exit 100 ;;
esac'
fake dpkg 'case $1 in
  --print-foreign-architectures) cat "$FAKE/arches" ;;
  --add-architecture) echo "$2" >> "$FAKE/arches" ;;
  --remove-architecture) sed -i "/^$2\$/d" "$FAKE/arches" ;;
esac'
fake dpkg-query '! grep -qx "$3" "$FAKE/missing" && echo "install ok installed"'
fake id 'echo "$FAKE_UID"'
# sudo clears the environment, as its env_reset does.
fake sudo 'exec env -i PATH="$PATH" FAKE="$FAKE" "$@"'

# A machine lacking MISSING, with FAKE_UID and, given "sudo", a sudo.
machine() {  # machine NAME MISSING [sudo]
  export FAKE=$work/$1
  mkdir -p "$FAKE/bin"
  printf '%s\n' "$2" > "$FAKE/missing"
  echo 0 > "$FAKE/locked"
  : > "$FAKE/arches"
  cp "$work/fakes/apt-get" "$work/fakes/dpkg" "$work/fakes/dpkg-query" "$work/fakes/id" "$FAKE/bin/"
  [ "${3:-}" != sudo ] || cp "$work/fakes/sudo" "$FAKE/bin/"
}
install_deps() {  # install_deps GROUP: its status in $status, its words in $FAKE/out
  : > "$FAKE/calls"
  env -u WIZARDSETUP_NO_I386 PATH="$FAKE/bin:$work/system" WIZARDSETUP_STATE_DIR="$FAKE/state" \
    bash "$here/../../scripts/install-deps" "$1" > "$FAKE/out" 2>&1
  status=$?
}
ran() {  # ran STATUS CALLS: install-deps ended so, after so many apt-get calls
  [ "$status" -eq "$1" ] && [ "$(grep -c '' "$FAKE/calls")" -eq "$2" ]
}

machine locked strace sudo
echo 4 > "$FAKE/locked"
FAKE_UID=1000 WIZARDSETUP_LOCK_WAIT=10 install_deps native
check "a lock held for 4 s is waited for" ran 0 6
check "DEBIAN_FRONTEND kept across sudo" [ -z "$(grep -v '^noninteractive ' "$FAKE/calls")" ]

machine held strace
echo 99 > "$FAKE/locked"
FAKE_UID=0 WIZARDSETUP_LOCK_WAIT=0 install_deps native
check "a lock held too long is named at once" ran 1 1
check "the lock's holder is named" grep -q 'lock-frontend. It is held by process 42' "$FAKE/out"

machine unprivileged strace
FAKE_UID=1000 install_deps native
check "no root and no sudo stops at once" ran 1 0
check "no root and no sudo is said" grep -q 'not root and has no sudo' "$FAKE/out"

if i386_kernel; then
  machine skewed wine32:i386
  FAKE_UID=0 install_deps all
  check "wine32:i386 not installable is no failure" [ "$status" -eq 0 ]
  check "wine32:i386 not installable says apt's reason" grep -q 'Depends: libwine:i386' "$FAKE/out"
  check "the i386 architecture it added is removed" [ ! -s "$FAKE/arches" ]
  FAKE_UID=0 install_deps all
  check "wine32:i386 is not tried again" ran 0 0
  check "wine32:i386 not installable is said once" [ ! -s "$FAKE/out" ]
else
  echo "the wine32:i386 cases are left out: $i386_kernel_says"
fi

printf 'install-deps: %d passed, %d failed\n' "$passed" "$failed"
[ "$failed" -eq 0 ]
