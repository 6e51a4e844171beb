#pragma once
// The question asked when the user closes the progress window.

#include "ui/progress_channel_win.h"

namespace zevrino::desktop::installer {

// On the UI thread: unless a cancel was already confirmed, asks whether to
// cancel the installation and sets the channel's cancel_requested on Yes.
// Holds its cancel_lock while the question is on screen, so a download
// pauses meanwhile and an install about to commit waits for the answer. The
// window stays open either way.
void ConfirmCancel(ProgressChannel& channel);

// Returns once no cancel question is on screen (at once when none is).
void WaitForCancelQuestion(ProgressChannel& channel);

}  // namespace zevrino::desktop::installer
