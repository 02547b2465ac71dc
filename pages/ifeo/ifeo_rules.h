// Platform-free rules of the IFEO page: the key convention, which image keys are listed, and the
// split of a listed key's path for delete.
#pragma once
#include <cstddef>
#include <string>

namespace ifeo {

inline constexpr wchar_t kIfeoKey[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options";
inline constexpr wchar_t kDebuggerValue[] = L"Debugger";
// The marker this program writes: not a runnable command, so Windows cannot start the image.
inline constexpr wchar_t kForbidMarker[] = L"Forbid by Morvane";
// The example key Windows ships; compared exactly, so a key differing in case is listed.
inline constexpr wchar_t kSampleKey[] = L"Your Image File Name Here without a path";

// Said when an image key could not be deleted whole and only its "Debugger" value was removed.
inline constexpr wchar_t kDebuggerOnlyRemoved[] =
    L"该映像劫持项无法整体删除(它含有子项或受到保护)。已删除其中的 Debugger 值，劫持已解除；其余内容保留未动。";

inline constexpr wchar_t kGlobalFlagValue[] = L"GlobalFlag";
inline constexpr wchar_t kVerifierDllsValue[] = L"VerifierDlls";
inline constexpr wchar_t kMonitorProcessValue[] = L"MonitorProcess";
inline constexpr wchar_t kSilentExitKey[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\SilentProcessExit";
// The GlobalFlag bit that makes Windows start the image's MonitorProcess when the image exits.
constexpr unsigned long kSilentExitFlag = 0x200;

// GlobalFlag as Windows reads it: a DWORD, or a text in hexadecimal ("0x200") or decimal.
bool ParseGlobalFlag(unsigned long type, const unsigned char* data, size_t size, unsigned long& flags);
// The data cell of a GlobalFlag row.
std::wstring GlobalFlagText(unsigned long flags);

bool IsListedImageKey(const std::wstring& name);

// The parent of an image key, from the key (without its root) and the image name: false when the
// key does not end with a backslash and that name.
bool ParentOfImageKey(const std::wstring& key, const std::wstring& imageName, std::wstring& parent);

}  // namespace ifeo
