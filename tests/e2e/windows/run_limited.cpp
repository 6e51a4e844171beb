// run_limited.exe: starts a program the way a normal user's shell would, with
// the limited token of the current logon, and exits with its exit code.
//
//   run_limited.exe PROGRAM [ARGS...]
//
// Under Wine every process started from Linux holds the full administrator
// token (TokenElevationTypeFull), so an installer that refuses elevated runs
// would refuse every test run. The full token's TokenLinkedToken is the
// limited token of the same logon; the child is created with it through
// CreateProcessAsUserW and inherits this process's standard handles and
// environment. When the current token is not elevated (a real user without
// admin rights, or already limited) the child gets a primary copy of it.
//
// Exit codes: the child's; kLauncherFailed when the child could not be
// started (a message on stderr says why).

#include <windows.h>

#include <cstdio>
#include <string>

#include "windows/create_process_win.h"
#include "windows/scoped_handle_win.h"

namespace {

using zevrino::desktop::installer::ScopedKernelHandle;

// Above every installer result code and distinct from Wine's own failures.
constexpr int kLauncherFailed = 240;

int Fail(const char* what) {
  const DWORD error = GetLastError();
  std::fprintf(stderr, "run_limited: %s failed (error %lu)\n", what,
               static_cast<unsigned long>(error));
  return kLauncherFailed;
}

// Quotes one argument so that CommandLineToArgvW and the C runtime give it
// back unchanged: backslashes are literal except before a double quote.
void AppendQuoted(const wchar_t* arg, std::wstring* out) {
  const std::wstring text(arg);
  if (!text.empty() && text.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    *out += text;
    return;
  }
  *out += L'"';
  for (std::size_t i = 0;; ++i) {
    std::size_t backslashes = 0;
    while (i < text.size() && text[i] == L'\\') {
      ++i;
      ++backslashes;
    }
    if (i == text.size()) {
      out->append(backslashes * 2, L'\\');
      break;
    }
    if (text[i] == L'"') {
      out->append(backslashes * 2 + 1, L'\\');
    } else {
      out->append(backslashes, L'\\');
    }
    *out += text[i];
  }
  *out += L'"';
}

// A primary token for the child: the linked (limited) token when this
// process runs with the full token, else a copy of its own.
bool LimitedPrimaryToken(ScopedKernelHandle* primary, const char** failed_call) {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY | TOKEN_DUPLICATE | TOKEN_ASSIGN_PRIMARY,
                        &raw)) {
    *failed_call = "OpenProcessToken";
    return false;
  }
  ScopedKernelHandle own(raw);
  TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
  DWORD size = 0;
  if (!GetTokenInformation(own.get(), TokenElevationType, &type, sizeof type, &size)) {
    *failed_call = "GetTokenInformation(TokenElevationType)";
    return false;
  }
  ScopedKernelHandle source;
  if (type == TokenElevationTypeFull) {
    TOKEN_LINKED_TOKEN linked{};
    if (!GetTokenInformation(own.get(), TokenLinkedToken, &linked, sizeof linked, &size)) {
      *failed_call = "GetTokenInformation(TokenLinkedToken)";
      return false;
    }
    source = ScopedKernelHandle(linked.LinkedToken);
  } else {
    source = std::move(own);
  }
  // The linked token is an impersonation token; CreateProcessAsUserW needs
  // a primary one.
  if (!DuplicateTokenEx(source.get(), MAXIMUM_ALLOWED, nullptr, SecurityImpersonation, TokenPrimary,
                        &raw)) {
    *failed_call = "DuplicateTokenEx";
    return false;
  }
  *primary = ScopedKernelHandle(raw);
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: run_limited.exe PROGRAM [ARGS...]\n");
    return kLauncherFailed;
  }
  std::wstring command_line;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) {
      command_line += L' ';
    }
    AppendQuoted(argv[i], &command_line);
  }

  ScopedKernelHandle token;
  const char* failed_call = "";
  if (!LimitedPrimaryToken(&token, &failed_call)) {
    return Fail(failed_call);
  }

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION info{};
  if (!zevrino::desktop::installer::CreateProcessRetryingLostStart(
          argv[1], command_line.data(), /*inherit_handles=*/TRUE, nullptr, &startup, &info,
          token.get())) {
    return Fail("CreateProcessAsUserW");
  }
  const ScopedKernelHandle process(info.hProcess);
  const ScopedKernelHandle thread(info.hThread);
  if (WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0) {
    return Fail("WaitForSingleObject");
  }
  DWORD exit_code = 0;
  if (!GetExitCodeProcess(process.get(), &exit_code)) {
    return Fail("GetExitCodeProcess");
  }
  return static_cast<int>(exit_code);
}
