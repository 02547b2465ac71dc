// The count of open menus, message boxes and dialogs (user-interface thread only).
#include "ui/modal.h"

namespace ui {
namespace {
int g_depth = 0;
}

int ModalDepth() { return g_depth; }
ModalScope::ModalScope() { ++g_depth; }
ModalScope::~ModalScope() { --g_depth; }

}  // namespace ui
