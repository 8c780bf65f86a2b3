#!/usr/bin/env bash
# Prints install.bat: /install the batch-file way, for the benchmark. It
# copies the icons from its own folder into the wizard folder it is given
# and writes the four descriptor files line by line with echo, from the
# suite's expected texts.
#
#   install.bat WIZARD_DIR
set -eu
# shellcheck source-path=SCRIPTDIR source=../e2e/expected_files.sh
source "$(dirname "$0")/../e2e/expected_files.sh"

# Writes FILE with one echo a line of the text on stdin, its CR LF line ends
# cmd's own: echo. for an empty line, ^ before what cmd would take apart.
echo_lines() {  # echo_lines FILE < TEXT
  local redirect=">" line
  while IFS= read -r line || [ -n "$line" ]; do
    line=${line%$'\r'}
    line=$(printf '%s' "$line" | sed 's/[|&<>^]/^&/g')
    if [ -z "$line" ]; then
      printf '%s"%%W%%\\%s" echo.\r\n' "$redirect" "$1"
    else
      printf '%s"%%W%%\\%s" echo %s\r\n' "$redirect" "$1" "$line"
    fi
    redirect=">>"
  done
}

printf '@echo off\r\nset W=%%~1\r\n'
for wizard in TaskWizard ComponentWizard; do
  printf 'copy /y "%%~dp0%s.ico" "%%W%%\\%s.ico" >nul\r\n' "$wizard" "$wizard"
done
for wizard in TaskWizard ComponentWizard; do
  expected_record "$wizard" | echo_lines "$wizard.vsdir"
  expected_launch_file "$wizard" '%~dp0' | echo_lines "$wizard.vsz"
done
