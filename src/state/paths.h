// The path rules (path_rules.h) on the running process's own environment,
// and how a sign-in file is read whole. Files: paths.cc.
#pragma once

#include "state/path_rules.h"

// The process's environment and path conventions, as the path rules take
// them. The record lives as long as the process.
const PathEnv *process_path_env(void);

// The whole file as a heap text (caller frees) with a NUL after its bytes;
// null for an empty path, a missing or non-regular file, or one over
// FILE_MAX_BYTES. The text ends at its first NUL for every reader.
char *read_file(const char *path);
