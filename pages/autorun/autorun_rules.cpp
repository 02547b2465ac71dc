// The startup keys and locations, Winlogon defaults and AppInit_DLLs lists.
#include "pages/autorun/autorun_rules.h"

#include <cwctype>

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

const std::vector<Location>& OtherLocations() {
  using common::RegRoot;
  static const std::vector<Location> locations = {
      {RegRoot::CurrentUser, L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run",
       LocationKind::AllValues, {}},
      {RegRoot::LocalMachine, L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run",
       LocationKind::AllValues, {}},
      {RegRoot::LocalMachine, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx", LocationKind::SubkeyValues,
       {}},
      {RegRoot::CurrentUser, kWindowsKey, LocationKind::NamedValues, {L"Load", L"Run"}},
      {RegRoot::LocalMachine, kWinlogonKey, LocationKind::NamedValues, {L"Shell", L"Userinit", L"Taskman"}},
      {RegRoot::CurrentUser, kWinlogonKey, LocationKind::NamedValues, {L"Shell"}},
      {RegRoot::LocalMachine, kWindowsKey, LocationKind::AppInitDlls, {kAppInitValue}},
      {RegRoot::LocalMachine, L"Software\\Microsoft\\Active Setup\\Installed Components",
       LocationKind::SubkeyNamedValues, {L"StubPath"}},
  };
  return locations;
}

namespace {
std::wstring Lower(std::wstring s) {
  for (auto& c : s) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
  return s;
}
}  // namespace

bool IsKey(const std::wstring& shownKey, const std::wstring& key) {
  std::wstring a = Lower(shownKey), b = Lower(key);
  if (a == b) return true;
  return a == Lower(common::Wow64KeyPath(key));
}

std::wstring WinlogonDefault(const std::wstring& name, const std::wstring& systemDir) {
  std::wstring n = Lower(name);
  if (n == L"shell") return L"explorer.exe";
  if (n == L"userinit") return systemDir + L"\\userinit.exe,";
  return {};
}

std::wstring WinlogonRestoredNote(const std::wstring& name, const std::wstring& data) {
  return L"Winlogon 的 \"" + name + L"\" 值不能删除(没有它 Windows 就没有桌面)，已恢复为系统默认值: " + data;
}

std::vector<std::wstring> SplitDllList(const std::wstring& list) {
  std::vector<std::wstring> dlls;
  std::wstring current;
  for (wchar_t c : list) {
    if (c == L' ' || c == L',' || c == L'\t') {
      if (!current.empty()) dlls.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) dlls.push_back(current);
  return dlls;
}

std::wstring RemoveDll(const std::wstring& list, const std::wstring& dll) {
  const wchar_t* separator = list.find(L',') != std::wstring::npos ? L"," : L" ";
  std::wstring kept;
  for (const std::wstring& d : SplitDllList(list)) {
    if (Lower(d) == Lower(dll)) continue;
    if (!kept.empty()) kept += separator;
    kept += d;
  }
  return kept;
}

namespace {
std::wstring DecodeXml(const std::wstring& text) {
  static const std::pair<const wchar_t*, wchar_t> kNamed[] = {
      {L"&amp;", L'&'}, {L"&lt;", L'<'}, {L"&gt;", L'>'}, {L"&quot;", L'"'}, {L"&apos;", L'\''}};
  std::wstring out;
  for (size_t i = 0; i < text.size();) {
    if (text[i] != L'&') {
      out += text[i++];
      continue;
    }
    bool done = false;
    for (const auto& [name, c] : kNamed) {
      std::wstring n = name;
      if (text.compare(i, n.size(), n) == 0) {
        out += c;
        i += n.size();
        done = true;
        break;
      }
    }
    if (done) continue;
    size_t semi = text.find(L';', i);
    if (semi != std::wstring::npos && i + 2 < semi && text[i + 1] == L'#') {
      const bool hex = text[i + 2] == L'x' || text[i + 2] == L'X';
      unsigned long code = 0;
      bool ok = true;
      for (size_t k = i + (hex ? 3 : 2); k < semi && ok; ++k) {
        wchar_t d = text[k];
        int v = d >= L'0' && d <= L'9' ? d - L'0' : hex && d >= L'a' && d <= L'f' ? d - L'a' + 10
                : hex && d >= L'A' && d <= L'F' ? d - L'A' + 10 : -1;
        ok = v >= 0 && code < 0x110000;
        code = code * (hex ? 16 : 10) + (v < 0 ? 0 : v);
      }
      if (ok && code > 0 && code < 0x10000) {
        out += static_cast<wchar_t>(code);
        i = semi + 1;
        continue;
      }
    }
    out += text[i++];
  }
  return out;
}

// The text of the first <tag>...</tag> within [from, to); empty when there is none.
std::wstring ElementText(const std::wstring& xml, const std::wstring& tag, size_t from, size_t to) {
  size_t open = xml.find(L"<" + tag + L">", from);
  if (open == std::wstring::npos || open >= to) return {};
  open += tag.size() + 2;
  size_t close = xml.find(L"</" + tag + L">", open);
  if (close == std::wstring::npos || close > to) return {};
  return DecodeXml(xml.substr(open, close - open));
}
}  // namespace

std::vector<ExecAction> ExecActionsFromXml(const std::wstring& xml) {
  std::vector<ExecAction> actions;
  for (size_t at = xml.find(L"<Exec>"); at != std::wstring::npos; at = xml.find(L"<Exec>", at + 1)) {
    size_t end = xml.find(L"</Exec>", at);
    if (end == std::wstring::npos) end = xml.size();
    actions.push_back({ElementText(xml, L"Command", at, end), ElementText(xml, L"Arguments", at, end)});
  }
  return actions;
}

}  // namespace autorun
