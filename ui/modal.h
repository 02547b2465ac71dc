// Whether a menu, message box or dialog of the program is open: timed work waits while one is.
#pragma once

namespace ui {

// Number of menus, message boxes and dialogs of the program open now.
int ModalDepth();

// Counts one open menu, message box or dialog for its lifetime.
class ModalScope {
 public:
  ModalScope();
  ~ModalScope();
  ModalScope(const ModalScope&) = delete;
  ModalScope& operator=(const ModalScope&) = delete;
};

}  // namespace ui
