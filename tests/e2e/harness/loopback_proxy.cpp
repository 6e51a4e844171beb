#include "tests/e2e/harness/loopback_proxy.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

#include "tests/e2e/harness/support.h"

namespace zevrino::e2e {
namespace {

constexpr char kInternetSettings[] =
    R"(HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings)";

sockaddr_in Loopback(int port) {
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  return address;
}

bool Accepts(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  const sockaddr_in address = Loopback(port);
  const bool connected =
      connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
  close(fd);
  return connected;
}

}  // namespace

int FreeLoopbackPort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = Loopback(0);
  socklen_t length = sizeof(address);
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  close(fd);
  return ntohs(address.sin_port);
}

LoopbackProxy::~LoopbackProxy() {
  Stop();
}

bool LoopbackProxy::Start(const std::filesystem::path& directory, const std::string& user,
                          const std::string& password, std::string* error) {
  Stop();
  std::filesystem::create_directories(directory);
  port_ = FreeLoopbackPort();
  const std::filesystem::path config = directory / "tinyproxy.conf";
  WriteText(config, "Port " + std::to_string(port_) +
                        "\nListen 127.0.0.1\nTimeout 30\nMaxClients 20\nAllow 127.0.0.1\n"
                        "DisableViaHeader Yes\nLogLevel Info\nLogFile \"" +
                        (directory / "tinyproxy.log").string() + "\"\nPidFile \"" +
                        (directory / "tinyproxy.pid").string() + "\"\nBasicAuth " + user + " " +
                        password + "\n");
  // The shell says it started, then becomes tinyproxy (in the foreground).
  std::string line;
  pid_ = StartHelperProcess(
      {"sh", "-c", "echo started; exec tinyproxy -d -c \"$0\" >/dev/null 2>&1", config.string()}, 1,
      &line);
  if (pid_ <= 0 || !WaitUntil([this] { return Accepts(port_); }, std::chrono::seconds(30))) {
    *error = "tinyproxy did not start (is Debian's tinyproxy installed?): '" + line + "'";
    Stop();
    return false;
  }
  return true;
}

void LoopbackProxy::Stop() {
  StopHelperProcess(pid_);
  pid_ = -1;
}

PrefixProxySetting::PrefixProxySetting(const WinePrefix& prefix, const std::string& proxy)
    : prefix_(prefix) {
  valid_ = Set("1", proxy);
}

PrefixProxySetting::~PrefixProxySetting() {
  Set("0", "");
}

bool PrefixProxySetting::Set(const std::string& enable, const std::string& proxy) const {
  return prefix_
             .RunWine({"reg", "add", kInternetSettings, "/v", "ProxyEnable", "/t", "REG_DWORD",
                       "/d", enable, "/f"})
             .ExitedWith(0) &&
         prefix_.RunWine({"reg", "add", kInternetSettings, "/v", "ProxyServer", "/d", proxy, "/f"})
             .ExitedWith(0);
}

}  // namespace zevrino::e2e
