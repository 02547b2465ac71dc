// The image hijacks, read into entries apart from the list that shows them: an image key's
// "Debugger", its "GlobalFlag" with silent-exit monitoring on, its "VerifierDlls", and the
// "MonitorProcess" started when an image exits.
#pragma once
#include <string>
#include <vector>

namespace ifeo {

// Columns of list 1006.
enum Column { kColId = 0, kColImage = 1, kColData = 2, kColKey = 3, kColValue = 4, kColCommandLine = 5 };

struct Entry {
  std::wstring image;        // the image key's name
  std::wstring data;         // what the value makes Windows do
  std::wstring key;          // the key's real path, root included
  std::wstring valueName;    // the value the row shows; delete removes exactly it
  std::wstring commandLine;  // the value's data whole
};

// Every entry of both registry views, each key once: the image keys in enumeration order with
// their values in the order above, then the monitor programs.
std::vector<Entry> GatherEntries();

}  // namespace ifeo
