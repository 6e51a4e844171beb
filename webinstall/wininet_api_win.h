#pragma once
// The few WinINet functions the download uses, looked up at run time in
// wininet.dll from System32 (never imported: see system_library_win.h).

#include <windows.h>
#include <wininet.h>

namespace zevrino::desktop::installer {

struct WinInetApi {
  decltype(&::InternetOpenA) InternetOpenA;
  decltype(&::InternetOpenUrlA) InternetOpenUrlA;
  decltype(&::HttpQueryInfoW) HttpQueryInfoW;
  decltype(&::InternetReadFileExA) InternetReadFileExA;
  decltype(&::InternetSetStatusCallbackA) InternetSetStatusCallbackA;
  decltype(&::InternetQueryOptionA) InternetQueryOptionA;
  decltype(&::InternetCrackUrlA) InternetCrackUrlA;
  decltype(&::InternetConnectA) InternetConnectA;
  decltype(&::HttpOpenRequestA) HttpOpenRequestA;
  decltype(&::HttpSendRequestA) HttpSendRequestA;
  decltype(&::InternetErrorDlg) InternetErrorDlg;
};

// Loaded on first use and kept until the process ends; null when the DLL or
// one of the functions is missing. Thread-safe.
const WinInetApi* GetWinInetApi();

}  // namespace zevrino::desktop::installer
