#pragma once
// How the user's cancel reaches an install. Until the commit, nothing in the
// installation has changed, so the install looks at the request at safe
// points while the body decodes and files are staged, and rolls back when it
// sees one. The commit itself asks once whether it may begin: from then on
// the install runs to its end and no cancel is offered any more.
//
// Empty functions: the install cannot be cancelled (extract and update mode,
// silent runs).

#include <functional>

namespace zevrino::desktop::installer {

struct CancelPoints {
  // True once the user has confirmed a cancel. Called on the installing
  // thread and on the decoding thread, between entries and every slice of
  // decoded bytes: cheap and thread-safe.
  std::function<bool()> requested;
  // Called once, on the installing thread, right before the first change to
  // the installation. False when the user cancelled first; otherwise true,
  // and the cancel is no longer offered. May wait while the user is being
  // asked.
  std::function<bool()> begin_commit;

  bool Requested() const { return requested && requested(); }
  bool MayCommit() const { return !begin_commit || begin_commit(); }
};

}  // namespace zevrino::desktop::installer
