// The program's entry: command-line answers for plugin discovery, the
// node password check, and the routing of a request to the page or to one
// of the five JSON actions. main() is only a call to plugin_main().
#pragma once

extern const char META_LINE[];     // the --meta answer, line feed included
extern const char VERSION_LINE[];  // the --version answer, line feed included

// The whole program: returns the process exit status.
int plugin_main(int argc, char **argv);
