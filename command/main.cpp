#include "command/wizard_setup.h"

int main(int argc, char** argv) { return wizard::RunWizardSetup(argc, argv); }
