#!/usr/bin/env bash
# scripts/install-deps against a fake apt-get, dpkg, id and sudo: it waits
# for another package manager's lock, for whole seconds only, and names one
# held too long; stops at once without root or a sudo that needs no prompt;
# keeps DEBIAN_FRONTEND across sudo; where wine32:i386 cannot be installed
# says why once, and tries no more only where a later run would fail too,
# remembering that whole or not at all; says what stopped apt-get; and
# leaves the architectures as it found them whichever way it stops.
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

# The machine's own commands but sudo; the fakes keep their state in $FAKE.
mkdir "$work/system" "$work/fakes"
for command in bash env grep sed cut sort paste mktemp rm chmod cat tail tee mkdir mv dirname true; do
  ln -s "$(type -P "$command")" "$work/system/"
done
ln -s "$(type -P true)" "$work/system/sleep"  # the waits count tries, not seconds
fake() { printf '#!/bin/bash\n%s\n' "$2" > "$work/fakes/$1"; chmod +x "$work/fakes/$1"; }
fake apt-get 'echo "${DEBIAN_FRONTEND:-} $*" >> "$FAKE/calls"
locked=$(cat "$FAKE/locked")
if [ "$locked" -gt 0 ]; then
  echo $((locked - 1)) > "$FAKE/locked"
  echo "E: Could not get lock /var/lib/dpkg/lock-frontend. It is held by process 42 (unattended-upgr)"; exit 100
fi
[ ! -e "$FAKE/interrupt" ] || [[ " $* " != *" install "* ]] || kill -INT "$PPID" $$
[ ! -e "$FAKE/killed" ] || [[ " $* " != *" install "* ]] || kill -KILL $$
while read -r package said; do
  [[ " $* " != *" $package "* ]] || { echo "$said"; exit 100; }
done < "$FAKE/fails"'
fake dpkg 'case $1 in
  --print-foreign-architectures) cat "$FAKE/arches" ;;
  --add-architecture) echo "$2" >> "$FAKE/arches" ;;
  --remove-architecture) sed -i "/^$2\$/d" "$FAKE/arches" ;;
esac'
fake dpkg-query '! grep -qx "$3" "$FAKE/missing" && echo "install ok installed"'
fake id 'echo "$FAKE_UID"'
fake sudo '[ "$1" != -n ] || shift
[[ " $* " != *" $(cat "$FAKE/refused") "* ]] || { echo "sudo: a password is required"; exit 1; }
exec env -i PATH="$PATH" FAKE="$FAKE" "$@"'  # env_reset

machine() {  # machine NAME MISSING_PACKAGES LOCKED_CALLS [sudo [REFUSED_COMMAND]]
  export FAKE=$work/$1
  mkdir -p "$FAKE/bin"
  printf '%s\n' $2 > "$FAKE/missing"
  echo "$3" > "$FAKE/locked"
  echo "${5:-none}" > "$FAKE/refused"
  state=$FAKE/state
  echo "wine32:i386  wine32:i386 : Depends: libwine:i386 but it is not going to be installed" > "$FAKE/fails"
  : > "$FAKE/arches"
  cp "$work"/fakes/{apt-get,dpkg,dpkg-query,id} "$FAKE/bin/"
  [ -z "${4:-}" ] || cp "$work/fakes/sudo" "$FAKE/bin/"
}
install_deps() {  # install_deps GROUP: its words in $FAKE/out
  : > "$FAKE/calls"
  env -u WIZARDSETUP_NO_I386 -u DEBIAN_FRONTEND PATH="$FAKE/bin:$work/system" \
    WIZARDSETUP_STATE_DIR="$state" bash "$here/../../scripts/install-deps" "$1" > "$FAKE/out" 2>&1
  status=$?
}
# ran STATUS APT_CALLS [LINE]: how it ended, how often it ran apt-get, and the one line it said
ran() {
  [ "$status" -eq "$1" ] && [ "$(grep -c '' "$FAKE/calls")" -eq "$2" ] &&
    { [ -z "${3:-}" ] || { [ "$(grep -c '' "$FAKE/out")" -eq 1 ] && grep -q -- "$3" "$FAKE/out"; }; }
}
said() { grep -q "$1" "$FAKE/out"; }

machine locked strace 2 sudo
FAKE_UID=1000 WIZARDSETUP_LOCK_WAIT=10 install_deps native
check "a lock held over two tries is waited for" ran 0 4
check "DEBIAN_FRONTEND kept across sudo" [ -z "$(grep -v '^noninteractive ' "$FAKE/calls")" ]
for wait in 5m 9223372036854775808; do
  FAKE_UID=0 WIZARDSETUP_LOCK_WAIT=$wait install_deps native
  check "a lock wait of $wait is refused at once, in one line" ran 2 0 "WIZARDSETUP_LOCK_WAIT is '$wait', not a whole number of seconds"
done

machine held strace 99
FAKE_UID=0 WIZARDSETUP_LOCK_WAIT=0 install_deps native
check "a lock held too long stops it at once" ran 1 1
check "a lock held too long is named" said 'lock-frontend. It is held by process 42'

machine unprivileged strace 0
FAKE_UID=1000 install_deps native
check "no root and no sudo stops it at once, in one line" ran 1 0 'not root and cannot use sudo without a prompt (there is no sudo)'
machine prompting strace 0 sudo true
FAKE_UID=1000 install_deps native
check "a sudo that would prompt stops it at once, in one line" ran 1 0 'needs root.*(sudo: a password is required)'

if i386_kernel; then
  # A failure a later run would meet again is neither tried nor said again;
  # one that may pass is, and so is any after an index that failed to
  # download (INDEX, else -), which may hold what was missing.
  while read -r verdict calls next_calls next_lines index failure; do
    machine "wine32-$verdict-$calls" wine32:i386 0
    echo "wine32:i386 $failure" > "$FAKE/fails"
    [ "$index" = - ] || echo "update W: Failed to fetch $index  File has unexpected size" >> "$FAKE/fails"
    FAKE_UID=0 install_deps all
    check "wine32:i386 failing with '$failure' is no failure" ran 0 "$calls"
    check "wine32:i386 failing with '$failure' is said so" said "$verdict.*$failure"
    check "the i386 architecture added for it is removed" [ ! -s "$FAKE/arches" ]
    FAKE_UID=0 install_deps all
    check "wine32:i386 failing with '$failure' is tried again only if it may pass" ran 0 "$next_calls"
    check "wine32:i386 failing with '$failure' is said again only if tried" [ "$(grep -c '' "$FAKE/out")" -eq "$next_lines" ]
  done <<'FAILURES'
cannot.be.installed 2 0 0 - wine32:i386 : Depends: libwine:i386 but it is not going to be installed
try.again.later 2 2 2 - E: Unable to fetch some archives, maybe run apt-get update or try with --fix-missing?
try.again.later 4 4 3 http://deb.example/dists/bookworm-security/main/binary-i386/Packages E: Unable to locate package wine32:i386
FAILURES

  # A state folder that cannot take the note, read-only (here, below a file)
  # or full (a tee that writes nothing), leaves none, and the set-up goes on.
  for folder in read-only full; do
    machine "unremembered-$folder" "wine32:i386 g++-mingw-w64-x86-64-posix" 0
    if [ "$folder" = read-only ]; then
      touch "$FAKE/file"
      state=$FAKE/file/state
    else
      fake tee ': > "$1"; exit 1'
      cp "$work/fakes/tee" "$FAKE/bin/"
    fi
    FAKE_UID=0 install_deps demo
    check "a note a $folder folder cannot take is no failure" ran 0 3
    check "a note a $folder folder cannot take is said so" said 'could not remember'
    check "a $folder folder is left with no note" [ -z "$(find "$FAKE" -name 'wine32-not-installable*')" ]
    check "the demo still gets the twin's compiler with a $folder folder" grep -q 'install .*g++-mingw-w64-x86-64-posix' "$FAKE/calls"
  done

  for way_out in apt-get sudo SIGINT SIGKILL; do
    machine "stopped-by-$way_out" "strace wine32:i386" 0 sudo "$([ "$way_out" != sudo ] || echo apt-get)"
    [ "$way_out" != apt-get ] || echo "strace E: Unable to locate package strace" > "$FAKE/fails"
    [ "$way_out" != SIGINT ] || touch "$FAKE/interrupt"
    [ "$way_out" != SIGKILL ] || touch "$FAKE/killed"
    FAKE_UID=1000 install_deps all
    check "a set-up stopped by $way_out fails" [ "$status" -ne 0 ]
    check "a set-up stopped by $way_out leaves the architectures as they were" [ ! -s "$FAKE/arches" ]
  done
  check "an apt-get killed is said to be stopped, not to have not run" said 'apt-get was stopped by SIGKILL (status 137)'

else
  echo "the wine32:i386 cases are left out: $i386_kernel_says"
fi

printf 'install-deps: %d passed, %d failed\n' "$passed" "$failed"
[ "$failed" -eq 0 ]
