// Which image keys are listed, and the parent of a listed one.
#include "pages/ifeo/ifeo_rules.h"

namespace ifeo {

bool IsListedImageKey(const std::wstring& name) { return name != kSampleKey; }

bool ParentOfImageKey(const std::wstring& key, const std::wstring& imageName, std::wstring& parent) {
  if (imageName.empty() || key.size() < imageName.size() + 2) return false;
  size_t cut = key.size() - imageName.size();
  if (key.compare(cut, std::wstring::npos, imageName) != 0 || key[cut - 1] != L'\\') return false;
  parent = key.substr(0, cut - 1);
  return true;
}

}  // namespace ifeo
