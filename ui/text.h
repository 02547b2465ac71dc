// Text conversions and number formatting shared by the pages.
#pragma once
#include <string>
#include <string_view>

namespace ui {

std::wstring FromUtf8(std::string_view s);
std::string ToUtf8(std::wstring_view s);
// Location texts of the IP database are GBK (code page 936) bytes.
std::wstring FromGbk(std::string_view s);

// "%d" of a signed integer.
std::wstring IntText(long long n);

}  // namespace ui
