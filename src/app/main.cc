#include "app/entry.h"

int main(int argc, char **argv) { return plugin_main(argc, argv); }
