// A hostile child that lies about its own file: it rewrites the first entry of its loader's module
// list (full and base name), and with "image" also the image path of its process parameters, to
// name a decoy, then waits a minute. Whatever reads those from its memory sees the decoy.
//   wardlet_masquerade.exe DECOY_PATH [image]
#include <windows.h>
#include <winternl.h>

#include <cwchar>
#include <string>

namespace {

// The documented head of the loader's data and of one of its entries.
struct LoaderData {
  ULONG length;
  BOOLEAN initialized;
  PVOID ssHandle;
  LIST_ENTRY inLoadOrder;
};
struct LoaderEntry {
  LIST_ENTRY inLoadOrder;
  LIST_ENTRY inMemoryOrder;
  LIST_ENTRY inInitializationOrder;
  PVOID dllBase;
  PVOID entryPoint;
  ULONG sizeOfImage;
  UNICODE_STRING fullName;
  UNICODE_STRING baseName;
};

// Points a counted string at a copy of text that lives as long as the process.
void Rename(UNICODE_STRING& s, const std::wstring& text) {
  auto* copy = new wchar_t[text.size() + 1];
  std::wmemcpy(copy, text.c_str(), text.size() + 1);
  s.Buffer = copy;
  s.Length = static_cast<USHORT>(text.size() * sizeof(wchar_t));
  s.MaximumLength = static_cast<USHORT>(s.Length + sizeof(wchar_t));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  const std::wstring decoy = argv[1];
  const std::wstring base = decoy.substr(decoy.find_last_of(L'\\') + 1);
  PROCESS_BASIC_INFORMATION info{};
  if (NtQueryInformationProcess(::GetCurrentProcess(), ProcessBasicInformation, &info, sizeof(info), nullptr) < 0)
    return 3;
  PEB* peb = info.PebBaseAddress;
  auto* ldr = reinterpret_cast<LoaderData*>(peb->Ldr);
  auto* first = CONTAINING_RECORD(ldr->inLoadOrder.Flink, LoaderEntry, inLoadOrder);
  Rename(first->fullName, decoy);
  Rename(first->baseName, base);
  if (argc >= 3 && std::wcscmp(argv[2], L"image") == 0) Rename(peb->ProcessParameters->ImagePathName, decoy);
  ::Sleep(60000);
  return 0;
}
