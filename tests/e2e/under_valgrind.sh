#!/usr/bin/env bash
# Runs a command with TOOL_RUNNER set to valgrind, so each run of the tool is
# checked for memory errors and leaks. Skipped (77) where valgrind is absent.
command -v valgrind >/dev/null || { echo "valgrind not installed"; exit 77; }
export TOOL_RUNNER="valgrind -q --error-exitcode=1 --leak-check=full --show-leak-kinds=definite,indirect,possible --errors-for-leak-kinds=definite,indirect,possible"
exec bash "$@"
