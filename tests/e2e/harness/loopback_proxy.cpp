#include "tests/e2e/harness/loopback_proxy.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

#include "tests/e2e/harness/support.h"

namespace zevrino::e2e {
namespace {

// Connects to `port` (0: binds a free one) on 127.0.0.1; the port, or 0.
int LoopbackPort(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  socklen_t length = sizeof(address);
  const bool ok = port != 0
                      ? connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0
                      : bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
                            getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0;
  close(fd);
  return ok ? ntohs(address.sin_port) : 0;
}

}  // namespace

int FreeLoopbackPort() {
  return LoopbackPort(0);
}

bool LoopbackProxy::Start(const std::filesystem::path& directory, const std::string& user,
                          const std::string& password, std::string* error) {
  std::filesystem::create_directories(directory);
  port_ = FreeLoopbackPort();
  const std::filesystem::path config = directory / "tinyproxy.conf";
  WriteText(config, "Port " + std::to_string(port_) +
                        "\nListen 127.0.0.1\nAllow 127.0.0.1\nTimeout 30\nDisableViaHeader Yes\n"
                        "LogFile \"" +
                        (directory / "tinyproxy.log").string() + "\"\nBasicAuth " + user + " " +
                        password + "\n");
  // The shell says it started, then becomes tinyproxy in the foreground.
  std::string line;
  pid_ = StartHelperProcess(
      {"sh", "-c", "echo started; exec tinyproxy -d -c \"$0\" >/dev/null 2>&1", config.string()}, 1,
      &line);
  if (pid_ <= 0 ||
      !WaitUntil([this] { return LoopbackPort(port_) != 0; }, std::chrono::seconds(30))) {
    *error = "tinyproxy did not start (Debian's tinyproxy installed?): '" + line + "'";
    return false;
  }
  return true;
}

bool PrefixProxySetting::Set(const std::string& enable, const std::string& proxy) const {
  const std::string key = R"(HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings)";
  return prefix_
             .RunWine(
                 {"reg", "add", key, "/v", "ProxyEnable", "/t", "REG_DWORD", "/d", enable, "/f"})
             .ExitedWith(0) &&
         prefix_.RunWine({"reg", "add", key, "/v", "ProxyServer", "/d", proxy, "/f"}).ExitedWith(0);
}

}  // namespace zevrino::e2e
