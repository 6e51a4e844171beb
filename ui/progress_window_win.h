#pragma once
// The progress window and the UI thread that owns it.

#include "installer/cancel_points.h"

namespace zevrino::desktop::installer {

// Starts the UI thread (at most once per run) and returns at once. Without
// the system menu the window can be neither closed nor minimised (update
// mode).
void StartUiThread(bool with_system_menu);

// The cancel of an install shown in the progress window: the user's
// confirmed cancel (closing the window asks), and the commit's point from
// which the window no longer offers it (its close box is greyed and closing
// asks nothing). begin_commit waits while the question is on screen and is
// refused when the user has cancelled. Without a window nothing can be
// cancelled.
CancelPoints WindowCancelPoints();

// Hides the progress window; a hide asked for before the window exists
// still hides it.
void HideProgressWindow();

}  // namespace zevrino::desktop::installer
