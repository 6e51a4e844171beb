// Entry point of the host build: arguments are already UTF-8.
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "tools/pack_installer/pack_installer_app.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return zevrino::desktop::packer::RunPackInstaller(args, std::cout, std::cerr,
                                                    isatty(STDERR_FILENO) != 0);
}
