#!/usr/bin/env bash
# Builds the release files again from a copy of the sources, in another
# folder and at another time, and checks that they are the same bytes as
# BUILD_DIR's.
#
#   check_rebuild.sh SOURCE_DIR BUILD_DIR PRESET EPOCH
set -u
usage="usage: check_rebuild.sh SOURCE_DIR BUILD_DIR PRESET EPOCH"
source_dir=${1:?$usage}
build=${2:?$usage}
preset=${3:?$usage}
export SOURCE_DATE_EPOCH=${4:?$usage}
work=$(mktemp -d "${TMPDIR:-/tmp}/wizard-rebuild.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

copy=$work/source
mkdir "$copy"
tar -C "$source_dir" --exclude=./build --exclude=./.git -cf - . | tar -C "$copy" -xf -
rebuilt=$copy/build/$preset
build_release() {
  (cd "$copy" && cmake --preset "$preset" "$@") >"$work/log" 2>&1 &&
    cmake --build "$rebuilt" --target packages >>"$work/log" 2>&1 ||
    { cat "$work/log"; exit 1; }
}

release_files=$(cd "$build" && ls WizardSetup.exe WizardSetup-*.zip WizardSetup-*.msi SHA256SUMS 2>/dev/null)
build_release
[ ! -e "$build/SHA256SUMS" ] || cmake --build "$rebuilt" --target checksums >/dev/null
for file in $release_files; do
  cmp -s "$build/$file" "$rebuilt/$file" || fail "$file differs when built again"
done
[ "$failures" -ne 0 ] || echo "built again in another folder: $(echo $release_files) the same"

[ "$failures" -eq 0 ]
