// The Find, Replace and Go-to dialogs at work: opening them for an editor
// window (from the application's resource when it has one, else from the
// definition lists), their event handlers, the histories they keep and the
// user events they send to the editor window.
#pragma once

#include <cstdint>

#include "qel6kwi.h"
#include "record.h"

namespace QEL_EDIT::detail {

enum DialogCommandId : int32_t {
  cmd_find = 9077, cmd_replace = 9078, cmd_findNext = 9079, cmd_goToLine = 9081,
  cmd_goToPosition = 9082
};

// Runs a dialog command for the editor window.
void DialogCommand(LONG_PTR window, EditorRecord* ed, int32_t command);
// The open Replace Text dialog, 0 for none; destroyed with its editor.
LONG_PTR ReplaceDialogWindow();
void CloseReplaceDialog();

}  // namespace QEL_EDIT::detail
