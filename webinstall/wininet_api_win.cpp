#include "webinstall/wininet_api_win.h"

#include "windows/system_library_win.h"

namespace zevrino::desktop::installer {
namespace {

template <typename Function>
bool Find(const char* name, Function* function) {
  *function = GetSystemFunction<Function>(L"wininet.dll", name);
  return *function != nullptr;
}

const WinInetApi* LoadWinInetApi() {
  static WinInetApi api;
  const bool complete = Find("InternetOpenA", &api.InternetOpenA) &&
                        Find("InternetOpenUrlA", &api.InternetOpenUrlA) &&
                        Find("HttpQueryInfoW", &api.HttpQueryInfoW) &&
                        Find("InternetReadFileExA", &api.InternetReadFileExA) &&
                        Find("InternetSetStatusCallbackA", &api.InternetSetStatusCallbackA) &&
                        Find("InternetQueryOptionA", &api.InternetQueryOptionA) &&
                        Find("InternetCrackUrlA", &api.InternetCrackUrlA) &&
                        Find("InternetConnectA", &api.InternetConnectA) &&
                        Find("HttpOpenRequestA", &api.HttpOpenRequestA) &&
                        Find("HttpSendRequestA", &api.HttpSendRequestA) &&
                        Find("InternetErrorDlg", &api.InternetErrorDlg);
  return complete ? &api : nullptr;
}

}  // namespace

const WinInetApi* GetWinInetApi() {
  static const WinInetApi* const api = LoadWinInetApi();
  return api;
}

}  // namespace zevrino::desktop::installer
