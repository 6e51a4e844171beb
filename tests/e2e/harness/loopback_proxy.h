#pragma once
// A proxy on 127.0.0.1 that asks for a user name and password (tinyproxy
// with BasicAuth), and the prefix setting that sends WinINet through it.
// Only a request that signed in reaches the origin: the origin's request
// log shows that the credentials reached the proxy.

#include <sys/types.h>

#include <filesystem>
#include <string>

#include "tests/e2e/harness/wine_prefix.h"

namespace zevrino::e2e {

class LoopbackProxy {
 public:
  LoopbackProxy() = default;
  ~LoopbackProxy();
  LoopbackProxy(const LoopbackProxy&) = delete;
  LoopbackProxy& operator=(const LoopbackProxy&) = delete;

  // Starts tinyproxy for `user` and `password`, its files in `directory`;
  // returns once it accepts connections. On failure *error says why.
  bool Start(const std::filesystem::path& directory, const std::string& user,
             const std::string& password, std::string* error);
  void Stop();
  int port() const { return port_; }

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

// The prefix's Internet settings name `proxy` ("127.0.0.1:PORT") while this
// lives, and name none again afterwards.
class PrefixProxySetting {
 public:
  PrefixProxySetting(const WinePrefix& prefix, const std::string& proxy);
  ~PrefixProxySetting();
  PrefixProxySetting(const PrefixProxySetting&) = delete;
  PrefixProxySetting& operator=(const PrefixProxySetting&) = delete;
  bool valid() const { return valid_; }

 private:
  bool Set(const std::string& enable, const std::string& proxy) const;

  const WinePrefix& prefix_;
  bool valid_ = false;
};

// A loopback port that nothing listens on now: bound once, then released.
int FreeLoopbackPort();

}  // namespace zevrino::e2e
