#!/usr/bin/env bash
# Builds the release files and the tests' packages (which carry the time)
# again from what git archive makes, in another folder and at another time,
# and checks that they are the same bytes as BUILD_DIR's. Then signs that
# build, packed with the sample wizard folders, with a throw-away
# certificate, checks the signatures of the exe and the MSI, that a changed
# byte breaks them and that the MSI holds the signed exe, and runs that exe
# once under Wine where it can run.
#
#   check_rebuild.sh BUILD_DIR
set -u
build=${1:?usage: check_rebuild.sh BUILD_DIR}
# shellcheck source=cmake/build_facts.sh.in
source "$build/build_facts.sh"
unset SOURCE_DATE_EPOCH
# shellcheck source-path=SCRIPTDIR source=../e2e/wine_host.sh
source "$(dirname "$0")/../e2e/wine_host.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/wizard-rebuild.XXXXXX")
trap 'stop_wine; rm -rf "$work"' EXIT
trap 'exit 143' INT TERM
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

copy=$work/source
mkdir "$copy"
# Sources that are no clone (an archive already), or a clone whose last
# commit is not what BUILD_DIR was built from, are copied as they are, at
# BUILD_DIR's epoch.
made="git archive HEAD, at the time it carries"
if [ -e "$source_dir/.git" ] && git -C "$source_dir" diff --quiet HEAD &&
  [ "$(git -C "$source_dir" log -1 --format=%ct)" = "$epoch" ]; then
  git -C "$source_dir" archive HEAD | tar -C "$copy" -xf -
else
  tar -C "$source_dir" --exclude=./build --exclude=./.git -cf - . | tar -C "$copy" -xf -
  made="a copy of the sources, at $epoch" && export SOURCE_DATE_EPOCH=$epoch
fi
rebuilt=$copy/build/release
# Configured as this build was, from the copy's own sources.
build_release() {  # build_release TARGETS CMAKE_OPTIONS...
  cmake -S "$copy" -B "$rebuilt" -G "$generator" \
    -DCMAKE_TOOLCHAIN_FILE="$copy/${toolchain_file#"$source_dir"/}" \
    -DCMAKE_BUILD_TYPE="$build_type" "${@:2}" >"$work/log" 2>&1 &&
    cmake --build "$rebuilt" --target $1 >>"$work/log" 2>&1 ||
    { cat "$work/log"; exit 1; }
}

packages=(tests/packages/WizardSetup-"$version".{msi,zip})
build_release "release sample_package" -DWIZARDSETUP_WIZARDS_DIR="$wizards_dir"
for file in "${release_files[@]}" SHA256SUMS "${packages[@]}"; do
  cmp -s "$build/$file" "$rebuilt/$file" || fail "$file differs when built again"
done
[ "$failures" -ne 0 ] || echo "built again in another folder from $made: ${release_files[*]} SHA256SUMS ${packages[*]} the same"

# A certificate made for this run: it is trusted only by the -CAfile given.
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=WizardSetup test" \
  -addext extendedKeyUsage=codeSigning -keyout "$work/key.pem" \
  -out "$work/cert.pem" >/dev/null 2>&1
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" \
  -passout pass:throwaway -out "$work/cert.pfx"
rm "$rebuilt/WizardSetup.exe"
WIZARDSETUP_SIGN_PASSWORD=throwaway build_release release \
  -DWIZARDSETUP_SIGN_PKCS12="$work/cert.pfx" -DWIZARDSETUP_WIZARDS_DIR="$samples_dir"
verify() { osslsigncode verify -CAfile "$work/cert.pem" -in "$1" >/dev/null 2>&1; }
for file in WizardSetup.exe $(cd "$rebuilt" && ls WizardSetup-*.msi); do
  verify "$rebuilt/$file" || fail "$file: no good SHA-256 signature"
  cp "$rebuilt/$file" "$work/changed"
  printf '\001' | dd of="$work/changed" bs=1 conv=notrunc 2>/dev/null \
    seek=$(($(stat -c %s "$work/changed") / 2))
  ! verify "$work/changed" || fail "$file: the signature holds after a byte changed"
done
msiextract -C "$work/msi" "$rebuilt"/WizardSetup-*.msi >/dev/null
packed=$(find "$work/msi" -name WizardSetup.exe)
cmp -s "$packed" "$rebuilt/WizardSetup.exe" || fail "the MSI holds an unsigned exe"
echo "signed WizardSetup.exe, and the MSI holding it, and checked their signatures"

if i386_runs; then
  use_wine 32
  start_wine "$work"
  wine "$rebuilt/WizardSetup.exe" /install >"$work/out" 2>&1 &&
    [ ! -s "$work/out" ] || fail "the signed exe did not run silently under Wine"
  echo "the signed exe ran under $wine_loader"
else
  echo "the signed exe is not run: $(i386_missing)"
fi
[ "$failures" -eq 0 ]
