// Sample component wizard: stands in for the wizard's own script in tests.
