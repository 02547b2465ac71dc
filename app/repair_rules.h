// The repair and USB write-protect commands as a table: where each writes its value, and what it
// tells the user.
#pragma once
#include <cstdint>
#include <span>
#include <string>

namespace app {

enum class RepairRoot { kLocalMachine, kCurrentUser };

// One command: a REG_DWORD value (and, for one row, a second value with the same data) written
// under a key that is created when missing.
struct RepairRow {
  unsigned id;
  RepairRoot root;
  const wchar_t* subkey;
  const wchar_t* value;
  const wchar_t* secondValue;  // written after value, or nullptr
  std::uint32_t data;
  const wchar_t* message;      // shown when every value of the row was written
};

// The eight rows in menu order: write protection on and off, then the six repairs.
std::span<const RepairRow> RepairTable();
// The row of a menu command, or nullptr when the command has none.
const RepairRow* FindRepairRow(unsigned id);

// The full name of a root key, such as "HKEY_LOCAL_MACHINE".
const wchar_t* RootName(RepairRoot root);
// What the user is told when value of row could not be written.
std::wstring RepairFailureText(const RepairRow& row, const wchar_t* value);

}  // namespace app
