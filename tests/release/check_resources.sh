#!/usr/bin/env bash
# Reads WizardSetup.exe's version resource and manifest back through the
# Windows APIs that Explorer and the loader use, with the 64-bit
# resource_probe.exe under wine64: it loads a 32-bit image as data too, so
# the product is checked on every machine.
#
#   check_resources.sh BUILD_DIR
set -u
build=$(cd "${1:?usage: check_resources.sh BUILD_DIR}" && pwd)
# shellcheck source=cmake/build_facts.sh.in
source "$build/build_facts.sh"
# shellcheck source-path=SCRIPTDIR source=../e2e/wine_host.sh
source "$(dirname "$0")/../e2e/wine_host.sh"

work=$(mktemp -d "${TMPDIR:-/tmp}/wizard-resources.XXXXXX")
trap 'stop_wine; rm -rf "$work"' EXIT
trap 'exit 143' INT TERM
use_wine 64
start_wine "$work"
echo "reading $build/WizardSetup.exe with resource_probe.exe under $wine_loader"

wine "$build/tests/release/resource_probe.exe" "Z:${build//\//\\}\\WizardSetup.exe" \
  2>/dev/null | tr -d '\r' > "$work/resources"
diff -u - "$work/resources" <<RESOURCES
FileDescription=Installs the Custom Task and Custom Data Flow Component wizards for Visual Studio 8.0
FileVersion=$version
InternalName=WizardSetup
OriginalFilename=WizardSetup.exe
ProductName=WizardSetup
ProductVersion=$version
FixedFileVersion=$version.0
ExecutionLevel=requireAdministrator
RESOURCES
