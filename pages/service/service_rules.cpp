// Cell texts, menu marks, control commands and the wait decision of the service page.
#include "pages/service/service_rules.h"

#include "res/resource.h"

namespace service {

std::wstring StateText(unsigned long state) {
  switch (state) {
    case kStopped: return L"停止";
    case kRunning: return L"运行";
    case kPaused: return L"暂停";
    default: return L"未知";
  }
}

std::wstring StartTypeText(unsigned long startType) {
  switch (startType) {
    case kBootStart: return L"引导";
    case kSystemStart: return L"系统";
    case kAutoStart: return L"自动";
    case kDemandStart: return L"手动";
    case kDisabled: return L"禁用";
    default: return std::to_wstring(startType);
  }
}

RowMenuMarks ServiceMenuMarks(const std::wstring& state, const std::wstring& startType,
                              const std::wstring& path) {
  RowMenuMarks m;
  if (state == L"运行") m.greyed = {IDM_SERVICE_START, IDM_SERVICE_RESUME};
  else if (state == L"暂停") m.greyed = {IDM_SERVICE_STOP, IDM_SERVICE_PAUSE, IDM_SERVICE_START};
  else if (state == L"停止") m.greyed = {IDM_SERVICE_STOP, IDM_SERVICE_PAUSE, IDM_SERVICE_RESUME};

  unsigned current = 0;
  if (startType == L"自动") current = IDM_SERVICE_AUTO;
  else if (startType == L"手动") current = IDM_SERVICE_MANUAL;
  else if (startType == L"禁用") current = IDM_SERVICE_DISABLED;
  if (current) {
    m.checked.push_back(current);
    m.greyed.push_back(current);
  }

  if (path.empty())
    m.greyed.insert(m.greyed.end(), {IDM_SERVICE_COPY_PATH, IDM_SERVICE_LOCATE, IDM_SERVICE_PROPERTIES});
  return m;
}

bool FindControlCommand(unsigned id, ControlCommand& command) {
  // SERVICE_QUERY_STATUS (0x4) with SERVICE_START (0x10), SERVICE_STOP (0x20) or
  // SERVICE_PAUSE_CONTINUE (0x40); SERVICE_CONTROL_STOP 1, _PAUSE 2, _CONTINUE 3.
  switch (id) {
    case IDM_SERVICE_START: command = {0x14, 0, kRunning}; return true;
    case IDM_SERVICE_STOP: command = {0x24, 1, kStopped}; return true;
    case IDM_SERVICE_PAUSE: command = {0x44, 2, kPaused}; return true;
    case IDM_SERVICE_RESUME: command = {0x44, 3, kRunning}; return true;
    default: return false;
  }
}

bool FindStartTypeCommand(unsigned id, unsigned long& startType) {
  switch (id) {
    case IDM_SERVICE_AUTO: startType = kAutoStart; return true;
    case IDM_SERVICE_MANUAL: startType = kDemandStart; return true;
    case IDM_SERVICE_DISABLED: startType = kDisabled; return true;
    default: return false;
  }
}

EnumRound NextEnumRound(bool succeeded, bool moreData, unsigned long returned, unsigned long resumeBefore,
                        unsigned long resumeAfter, unsigned long bytesNeeded, unsigned long bufferSize) {
  if (succeeded || !moreData) return {true, false, bufferSize};
  const unsigned long bigger = bytesNeeded > bufferSize ? bytesNeeded : bufferSize;
  if (returned > 0 && resumeAfter != resumeBefore) return {true, true, bigger};
  if (bytesNeeded > bufferSize) return {false, true, bytesNeeded};
  if (returned > 0) return {false, true, bufferSize * 2};  // asked for no more room, yet did not move on
  return {false, false, bufferSize};  // neither progress nor a bigger buffer asked for
}

WaitVerdict WaitStep(unsigned long current, unsigned long target, unsigned long elapsedMs,
                     unsigned long boundMs) {
  if (current == target) return WaitVerdict::Reached;
  if (current == kStopped) return WaitVerdict::GiveUp;
  if (elapsedMs >= boundMs) return WaitVerdict::GiveUp;
  return WaitVerdict::KeepWaiting;
}

}  // namespace service
