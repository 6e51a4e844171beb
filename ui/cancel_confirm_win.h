#pragma once
// The question asked when the user closes the progress window.

namespace zevrino::desktop::installer {

// On the UI thread: unless a cancel was already confirmed, asks whether to
// cancel the installation and sets CancelRequested on Yes. Holds CancelLock
// while the question is on screen, so a download pauses meanwhile and an
// install about to commit waits for the answer. The window stays open
// either way.
void ConfirmCancel();

// Returns once no cancel question is on screen (at once when none is).
void WaitForCancelQuestion();

}  // namespace zevrino::desktop::installer
