// The Run-type startup keys.
#include "pages/autorun/autorun_rules.h"

namespace autorun {

const std::array<RunKey, 6>& RunKeys() {
  using common::RegRoot;
  static const std::array<RunKey, 6> keys = {{
      {RegRoot::CurrentUser, kUserRunKey},
      {RegRoot::CurrentUser, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce"},
      {RegRoot::LocalMachine, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run"},
      {RegRoot::LocalMachine, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce"},
      {RegRoot::LocalMachine, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunServices"},
      {RegRoot::LocalMachine, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce"},
  }};
  return keys;
}

}  // namespace autorun
