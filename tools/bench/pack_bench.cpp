// Packer benchmark: how fast pack_installer encodes and writes a payload of
// real x86-64 code, per preset, with the compression ratio.
//
//   pack_bench [dll-directory [megabytes]]
//
// The input is Wine's x86-64 DLLs, taken in sorted order until the size
// (default 16 MB) is reached. Each preset is encoded once (LZMA1 with the
// x86 filter and a 32 MiB dictionary, as shipped); "frame+write" is the
// digest and the all-or-nothing write of an installer with the input stored.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/pack_installer/body_encoder.h"
#include "tools/pack_installer/file_io.h"
#include "tools/pack_installer/payload_writer.h"

namespace zevrino::desktop::packer::bench {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::vector<std::uint8_t> LoadCorpus(const std::string& directory, std::size_t target) {
  std::vector<fs::path> files;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(fs::u8path(directory), ec)) {
    if (entry.path().extension() == ".dll") {
      files.push_back(entry.path());
    }
  }
  std::sort(files.begin(), files.end());
  std::vector<std::uint8_t> corpus;
  for (const fs::path& file : files) {
    if (corpus.size() >= target) {
      break;
    }
    std::vector<std::uint8_t> bytes;
    std::string error;
    if (ReadWholeFile(file.u8string(), &bytes, &error)) {
      corpus.insert(corpus.end(), bytes.begin(), bytes.end());
    }
  }
  corpus.resize(std::min(corpus.size(), target));
  return corpus;
}

double Seconds(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Processor time of this process: on a shared machine it shows the encoder's
// own speed, which wall-clock time hides behind other load.
double CpuSeconds(std::clock_t start) {
  return static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
}

int Main(int argc, char** argv) {
  const std::string directory =
      argc > 1 ? argv[1] : "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows";
  const std::size_t megabytes = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 16;
  const std::vector<std::uint8_t> corpus = LoadCorpus(directory, megabytes * 1000 * 1000);
  if (corpus.empty()) {
    std::fprintf(stderr, "pack_bench: no DLLs found in %s\n", directory.c_str());
    return 1;
  }
  const double mb = static_cast<double>(corpus.size()) / 1e6;
  std::printf("input: %.1f MB of x86-64 DLLs from %s\n", mb, directory.c_str());

  std::vector<std::uint8_t> body;
  for (const char* preset : {"0", "2", "6", "6e"}) {
    BodyOptions options;
    options.preset = static_cast<std::uint32_t>(preset[0] - '0');
    options.extreme = preset[1] == 'e';
    body.clear();
    std::string error;
    const Clock::time_point start = Clock::now();
    const std::clock_t cpu_start = std::clock();
    if (!EncodeBody(corpus.data(), corpus.size(), options, &body, &error)) {
      std::fprintf(stderr, "pack_bench: preset %s: %s\n", preset, error.c_str());
      return 1;
    }
    const double seconds = Seconds(start);
    const double cpu_seconds = CpuSeconds(cpu_start);
    std::printf("encode preset %-2s  %7.2f MB/s wall  %7.2f MB/s cpu  %6.2f s  ratio %.3f\n",
                preset, mb / seconds, mb / cpu_seconds, seconds,
                static_cast<double>(body.size()) / static_cast<double>(corpus.size()));
  }

  // Framing (SHA-1 of the body) and writing the installer through the
  // temporary file, with the input stored as payload and a 1 MB stand-in stub.
  std::vector<std::uint8_t> stub(1u << 20, 0);
  stub[0] = 'M';
  stub[1] = 'Z';
  const fs::path output = fs::temp_directory_path() / "zv-pack-bench.exe";
  std::string error;
  BodyOptions stored;
  stored.compression = Compression::kStored;
  body.clear();
  EncodeBody(corpus.data(), corpus.size(), stored, &body, &error);
  const Clock::time_point start = Clock::now();
  PayloadFrame frame;
  if (!FramePayload(body.data(), body.size(), PayloadOptions(), &frame, &error) ||
      !WriteInstaller(output.u8string(), stub, frame, body.data(), body.size(), &error)) {
    std::fprintf(stderr, "pack_bench: %s\n", error.c_str());
    return 1;
  }
  const double seconds = Seconds(start);
  const double written = static_cast<double>(stub.size() + body.size()) / 1e6;
  std::printf("frame+write       %7.2f MB/s  %6.3f s  (%.1f MB)\n", written / seconds, seconds,
              written);
  std::error_code ec;
  fs::remove(output, ec);
  return 0;
}

}  // namespace
}  // namespace zevrino::desktop::packer::bench

int main(int argc, char** argv) {
  return zevrino::desktop::packer::bench::Main(argc, argv);
}
