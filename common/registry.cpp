// Registry values through the native interface where the string APIs fall short.
#include "common/registry.h"

#include <algorithm>
#include <cstring>

#include "ui/text.h"

// What MinGW's headers do not declare of the native registry interface.
extern "C" {
struct WardletCountedName {  // UNICODE_STRING: lengths in bytes, no terminator needed
  USHORT Length;
  USHORT MaximumLength;
  PWSTR Buffer;
};
LONG NTAPI NtQueryKey(HANDLE key, ULONG infoClass, PVOID info, ULONG size, PULONG resultSize);
LONG NTAPI NtEnumerateValueKey(HANDLE key, ULONG index, ULONG infoClass, PVOID info, ULONG size,
                               PULONG resultSize);
LONG NTAPI NtDeleteValueKey(HANDLE key, WardletCountedName* name);
ULONG NTAPI RtlNtStatusToDosError(LONG status);
}

namespace common {
namespace {
constexpr ULONG kKeyNameInformation = 3;
constexpr ULONG kKeyValueFullInformation = 1;
constexpr LONG kStatusBufferOverflow = static_cast<LONG>(0x80000005);
constexpr LONG kStatusNoMoreEntries = static_cast<LONG>(0x8000001A);
constexpr LONG kStatusBufferTooSmall = static_cast<LONG>(0xC0000023);

// Room for the longest name the registry takes, and its terminator.
constexpr DWORD kMaxNameChars = 16384;
// Walks over a key that keeps changing are given up after this many.
constexpr int kWalks = 32;

// What tells that a key changed: its subkey and value counts and its last write time.
struct KeyState {
  bool read = false;
  DWORD subkeys = 0, values = 0;
  FILETIME written{};
};
KeyState StateOf(HKEY key) {
  KeyState s;
  s.read = ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &s.subkeys, nullptr, nullptr, &s.values, nullptr,
                              nullptr, nullptr, &s.written) == ERROR_SUCCESS;
  return s;
}
// A listing is settled when the key did not change during a walk that met the same names as the
// walk before it. The write time alone cannot tell: it moves in steps of a clock tick, within which
// a name can be added and another removed.
bool Settled(const KeyState& before, const KeyState& after, const std::vector<std::wstring>& previous,
             const std::vector<std::wstring>& names) {
  return before.read && after.read && before.subkeys == after.subkeys && before.values == after.values &&
         ::CompareFileTime(&before.written, &after.written) == 0 && previous == names;
}

// Walks a key by index, readAt(index, name) giving ERROR_SUCCESS and the entry's name, or
// ERROR_NO_MORE_ITEMS past the last. An entry added or removed during a walk shifts the indexes
// after it, so that the walk misses or doubles another: the walk is taken again until two walks in
// a row meet the same names with the key unchanged (at most kWalks), and every name met in any
// walk is given once, in the order first met. count names the count that bounds a walk whose every
// read fails.
template <class ReadAt>
std::vector<std::wstring> SettledNames(HKEY key, DWORD KeyState::*count, ReadAt readAt) {
  std::vector<std::wstring> gathered, previous;
  for (int walk = 0; walk < kWalks; ++walk) {
    const KeyState before = StateOf(key);
    std::vector<std::wstring> names;
    std::wstring name;
    for (DWORD index = 0;; ++index) {
      LONG e = readAt(index, name);
      if (e == ERROR_NO_MORE_ITEMS || (e != ERROR_SUCCESS && index >= before.*count)) break;
      if (e == ERROR_SUCCESS) names.push_back(name);
    }
    MergeNames(gathered, names);
    if (Settled(before, StateOf(key), previous, names)) break;
    previous = std::move(names);
  }
  return gathered;
}

bool TooSmall(LONG status) { return status == kStatusBufferOverflow || status == kStatusBufferTooSmall; }

// KEY_VALUE_FULL_INFORMATION: the name follows the fixed part, the data stands at DataOffset.
struct FullInfoHead {
  ULONG TitleIndex;
  ULONG Type;
  ULONG DataOffset;
  ULONG DataLength;
  ULONG NameLength;
};
}  // namespace

HKEY RootKey(RegRoot root) {
  switch (root) {
    case RegRoot::CurrentUser: return HKEY_CURRENT_USER;
    case RegRoot::LocalMachine: return HKEY_LOCAL_MACHINE;
    default: return nullptr;
  }
}

std::wstring KernelKeyName(HKEY key) {
  std::vector<ULONG> buf(256);
  for (int tries = 0; tries < 4; ++tries) {
    ULONG size = static_cast<ULONG>(buf.size() * sizeof(ULONG)), needed = 0;
    LONG status = NtQueryKey(key, kKeyNameInformation, buf.data(), size, &needed);
    if (status == 0) {
      ULONG bytes = buf[0];  // KEY_NAME_INFORMATION: NameLength, then the name
      if (bytes > size - sizeof(ULONG)) return {};
      return std::wstring(reinterpret_cast<const wchar_t*>(buf.data() + 1), bytes / sizeof(wchar_t));
    }
    if (!TooSmall(status) || needed <= size) return {};
    buf.resize(needed / sizeof(ULONG) + 1);
  }
  return {};
}

std::vector<std::wstring> SubkeyNames(HKEY key) {
  std::vector<wchar_t> buf(kMaxNameChars);
  return SettledNames(key, &KeyState::subkeys, [&](DWORD index, std::wstring& name) {
    DWORD len = static_cast<DWORD>(buf.size());
    LONG e = ::RegEnumKeyExW(key, index, buf.data(), &len, nullptr, nullptr, nullptr, nullptr);
    if (e == ERROR_SUCCESS) name.assign(buf.data(), len);
    return e;
  });
}

LONG EnumValue(HKEY key, DWORD index, RegValue& value) {
  std::vector<ULONG> buf(256);
  // The value may grow between the calls: a few retries, each with the size asked for.
  for (int tries = 0; tries < 4; ++tries) {
    ULONG size = static_cast<ULONG>(buf.size() * sizeof(ULONG)), got = 0;
    LONG status = NtEnumerateValueKey(key, index, kKeyValueFullInformation, buf.data(), size, &got);
    if (status == kStatusNoMoreEntries) return ERROR_NO_MORE_ITEMS;
    if (TooSmall(status) && got > size) {
      buf.resize(got / sizeof(ULONG) + 1);
      continue;
    }
    if (status != 0) return static_cast<LONG>(RtlNtStatusToDosError(status));
    if (got > size) got = size;
    if (got < sizeof(FullInfoHead)) return ERROR_INVALID_DATA;
    FullInfoHead head;
    std::memcpy(&head, buf.data(), sizeof(head));
    const BYTE* base = reinterpret_cast<const BYTE*>(buf.data());
    if (head.NameLength > got - sizeof(head) || head.DataOffset > got || head.DataLength > got - head.DataOffset)
      return ERROR_INVALID_DATA;
    value.name.assign(reinterpret_cast<const wchar_t*>(base + sizeof(head)), head.NameLength / sizeof(wchar_t));
    value.type = head.Type;
    value.data.assign(base + head.DataOffset, base + head.DataOffset + head.DataLength);
    return ERROR_SUCCESS;
  }
  return ERROR_MORE_DATA;
}

std::vector<RegValue> Values(HKEY key) {
  std::vector<RegValue> latest;  // each value with the data last read
  const std::vector<std::wstring> order = SettledNames(key, &KeyState::values, [&](DWORD index, std::wstring& name) {
    RegValue value;
    LONG e = EnumValue(key, index, value);
    if (e != ERROR_SUCCESS) return e;
    name = value.name;
    auto same = [&value](const RegValue& v) { return v.name == value.name; };
    if (auto it = std::find_if(latest.begin(), latest.end(), same); it != latest.end()) *it = std::move(value);
    else latest.push_back(std::move(value));
    return e;
  });
  std::vector<RegValue> values;
  for (const std::wstring& name : order) {
    auto it = std::find_if(latest.begin(), latest.end(), [&name](const RegValue& v) { return v.name == name; });
    if (it != latest.end()) values.push_back(std::move(*it));
  }
  return values;
}

LONG QueryValue(HKEY key, const wchar_t* name, RegValue& value) {
  value.name = name;
  value.data.resize(256);
  for (int tries = 0; tries < 4; ++tries) {
    DWORD size = static_cast<DWORD>(value.data.size());
    LONG e = ::RegQueryValueExW(key, name, nullptr, &value.type, value.data.data(), &size);
    if (e == ERROR_SUCCESS) {
      value.data.resize(size);
      return e;
    }
    if (e != ERROR_MORE_DATA) return e;
    value.data.resize(size > value.data.size() ? size : value.data.size() * 2);
  }
  return ERROR_MORE_DATA;
}

LONG DeleteValueExact(HKEY key, const std::wstring& name) {
  if (name.find(L'\0') == std::wstring::npos) return ::RegDeleteValueW(key, name.c_str());
  if (name.size() > 0x7FFF) return ERROR_INVALID_PARAMETER;
  std::wstring copy = name;
  WardletCountedName counted{static_cast<USHORT>(copy.size() * sizeof(wchar_t)),
                             static_cast<USHORT>(copy.size() * sizeof(wchar_t)), copy.data()};
  LONG status = NtDeleteValueKey(key, &counted);
  return status == 0 ? ERROR_SUCCESS : static_cast<LONG>(RtlNtStatusToDosError(status));
}

std::wstring DataText(DWORD type, const std::vector<BYTE>& data) {
  if (IsTextType(type)) return TextUpToZero(data.data(), data.size());
  return ui::FromGbk(BytesUpToZero(data.data(), data.size()));
}

}  // namespace common
