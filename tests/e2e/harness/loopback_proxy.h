#pragma once
// A proxy on 127.0.0.1 that asks for a user name and password (tinyproxy
// with BasicAuth), and the prefix setting that sends WinINet through it.
// Only a request that signed in reaches the origin, whose request log thus
// shows that the credentials reached the proxy.

#include <sys/types.h>

#include <filesystem>
#include <string>

#include "tests/e2e/harness/wine_prefix.h"

namespace zevrino::e2e {

class LoopbackProxy {
 public:
  LoopbackProxy() = default;
  ~LoopbackProxy() { StopHelperProcess(pid_); }
  LoopbackProxy(const LoopbackProxy&) = delete;
  LoopbackProxy& operator=(const LoopbackProxy&) = delete;

  // Starts tinyproxy for `user` and `password` (no blanks), its files in
  // `directory`; returns once it accepts connections, else false with *error.
  bool Start(const std::filesystem::path& directory, const std::string& user,
             const std::string& password, std::string* error);
  // "127.0.0.1:<port>", as the prefix's settings name it.
  std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

// The prefix's Internet settings name `proxy` while this lives, none after.
class PrefixProxySetting {
 public:
  PrefixProxySetting(const WinePrefix& prefix, const std::string& proxy)
      : prefix_(prefix), valid_(Set("1", proxy)) {}
  ~PrefixProxySetting() { Set("0", ""); }
  PrefixProxySetting(const PrefixProxySetting&) = delete;
  PrefixProxySetting& operator=(const PrefixProxySetting&) = delete;
  bool valid() const { return valid_; }

 private:
  bool Set(const std::string& enable, const std::string& proxy) const;

  const WinePrefix& prefix_;
  bool valid_;
};

// A loopback port that nothing listens on now: bound once, then released.
int FreeLoopbackPort();

}  // namespace zevrino::e2e
