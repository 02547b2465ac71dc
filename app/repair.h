// Runs one row of the repair and USB write-protect table.
#pragma once
#include <windows.h>

#include "app/repair_rules.h"

namespace app {

// Writes the row's value (and its second value) under its key, creating the key when missing,
// then tells owner: the row's message when every value was written, else which value failed.
// Returns whether every value was written.
bool RunRepair(HWND owner, const RepairRow& row);

}  // namespace app
