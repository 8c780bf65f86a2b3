# shellcheck shell=bash
# The bytes of the descriptor files, written out here apart from the tool's
# own texts, so that a change to either shows. Sourced by the end-to-end
# suite, and by the benchmark's batch file, which writes the same files.

expected_record() {  # expected_record NAME
  case $1 in
    TaskWizard) printf '%s' 'TaskWizard.vsz| |Custom Task|1|Custom task for use in Integration Services packages.| |6777| |CustomTask' ;;
    ComponentWizard) printf '%s' 'ComponentWizard.vsz| |Custom Data Flow Component|1|Custom data flow component for use in Integration Services packages.| |6777| |CustomComponent' ;;
  esac
}

expected_launch_file() {  # expected_launch_file NAME TOOL_DIR
  printf 'VSWIZARD 7.0\r\nWizard=VsWizard.VsWizardEngine.8.0\r\n\r\nParam="WIZARD_NAME = %s"\r\nParam="ABSOLUTE_PATH = %s%s"\r\nParam="FALLBACK_LCID = 1033"' "$1" "$2" "$1"
}
