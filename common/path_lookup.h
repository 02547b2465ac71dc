// The file system behind the path rules: the Windows folder, environment variables and the test
// whether a name stands for an existing file, each answer kept for the lookup's lifetime (one
// fill of a list).
#pragma once
#include "common/path_rules.h"

namespace common {

PathLookup SystemPathLookup();

}  // namespace common
