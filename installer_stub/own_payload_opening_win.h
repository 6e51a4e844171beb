#pragma once
// Opening the installer's own payload on a second thread. Mapping the file
// and checking the payload's digest reads every byte of it, tens of
// milliseconds for a full installer; started early, that overlaps the
// language lookup and the COM start-up that come before the payload is
// needed. The outcome is acted on where the run would have opened the
// payload itself, and opening has no effect of its own (no dialog, no log
// line, nothing written), so what the user and the log see is unchanged.

#include <windows.h>

#include <thread>

#include "base/error_code.h"
#include "installer_stub/own_file_win.h"

namespace zevrino::desktop::installer {

class OwnPayloadOpening {
 public:
  struct Outcome {
    bool own_name = false;  // GetOwnFileName succeeded; nothing was opened otherwise
    bool opened = false;    // OpenOwnPayload succeeded; else `error` holds its error
    ErrorCode error;
  };

  // Opens the payload of `payload_file` (which must outlive this object);
  // null: of the program's own file.
  explicit OwnPayloadOpening(const wchar_t* payload_file) : payload_file_(payload_file) {}
  ~OwnPayloadOpening();  // waits for the thread, so that the payload outlives it
  OwnPayloadOpening(const OwnPayloadOpening&) = delete;
  OwnPayloadOpening& operator=(const OwnPayloadOpening&) = delete;

  // Starts opening on a second thread; when none can be started, Wait opens
  // on the calling thread.
  void Start();

  // Waits until the opening has ended and returns its outcome.
  const Outcome& Wait();

  // The mapped file and the open payload, once Wait says it opened.
  OwnPayload& payload() { return payload_; }

 private:
  void Open();

  const wchar_t* const payload_file_;
  std::thread thread_;
  bool done_ = false;
  Outcome outcome_;
  OwnPayload payload_;
};

}  // namespace zevrino::desktop::installer
