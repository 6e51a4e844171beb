#pragma once
// The shared test support (tests/support) as the end-to-end tests see it,
// on the host and in the Windows programs they start: its names are names
// of their namespace, where their own come first.

#include "tests/support/files.h"
#include "tests/support/scratch_directory.h"
#include "tests/support/utf16.h"
#include "tests/support/wait.h"
#if defined(_WIN32)
#include "tests/support/plain_files_win.h"
#include "tests/support/process_win.h"
#include "windows/scoped_handle_win.h"
#else
#include "tests/support/process_posix.h"
#endif

namespace zevrino::e2e {

using namespace desktop::installer::testing;  // NOLINT(build/namespaces)
#if defined(_WIN32)
using desktop::installer::ScopedKernelHandle;
#endif

}  // namespace zevrino::e2e
