// The download's side of a run's progress channel. Kept apart from
// download_to_file_win.cpp so that programs passing their own state need not
// link the window.

#include "webinstall/download_to_file_win.h"

namespace zevrino::desktop::installer {

DownloadShared ChannelDownloadShared(ProgressChannel& channel) {
  DownloadShared shared;
  shared.progress = &channel.download;
  shared.cancel_requested = &channel.cancel_requested;
  shared.wait_for_cancel_question = [&channel] {
    ::EnterCriticalSection(&channel.cancel_lock);
    ::LeaveCriticalSection(&channel.cancel_lock);
  };
  shared.sleep_one_second = [] { ::Sleep(1000); };
  return shared;
}

}  // namespace zevrino::desktop::installer
