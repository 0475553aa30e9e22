#include "Permissioneditor.h"

namespace {
TPermissionEditor gPermissionEditor = nullptr;
}  // namespace

TPermissionEditor PermissionEditor() { return gPermissionEditor; }

TPermissionEditor SetPermissionEditor(TPermissionEditor editor) {
  TPermissionEditor old = gPermissionEditor;
  gPermissionEditor = editor;
  return old;
}
