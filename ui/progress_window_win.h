#pragma once
// The progress window and the UI thread that owns it.

namespace zevrino::desktop::installer {

// Starts the UI thread (at most once per run) and returns at once. Without
// the system menu the window can be neither closed nor minimised (update
// mode).
void StartUiThread(bool with_system_menu);

// Hides the progress window; a hide asked for before the window exists
// still hides it.
void HideProgressWindow();

}  // namespace zevrino::desktop::installer
