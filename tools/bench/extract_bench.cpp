// Extraction benchmark (Windows build, run under Wine or on Windows): how
// fast and in how much memory the installer lays a realistic application
// down, against the floor of liblzma's raw decoding plus a plain copy of the
// same files.
//
//   extract_bench [runs [dll-directory]]
//
// The application folder is made of real x86-64 PE files (Wine's DLLs of at
// least 1 MB, sorted by name, until at least 300 MB; every tenth goes into
// "locales" so that directories are made as in a real package). It is
// copied and packed once, at preset 1 with the x86 filter, by the packer
// library, and cached outside the repository, keyed by the input list:
// %ZV_BENCH_CACHE%, else the Linux home's .cache\zevrino-bench under Wine,
// else %LOCALAPPDATA%\zevrino-bench.
//
// Every measurement runs in a fresh child process (this program with
// "--measure"), so that each peak working set counts that measurement
// alone, and writes into a fresh directory:
//   extract: map the installer, OpenPayload (digest included), ExtractArchive
//            - what installer_stub.exe does in extract mode;
//   floor:   liblzma's raw [x86, LZMA1] decoder into a buffer allocated
//            beforehand, then CopyFileW of the same files.

#include <windows.h>

#include <lzma.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "payload/extract_archive.h"
#include "payload/payload_container.h"
#include "payload/payload_reader.h"
#include "tools/bench/payload_bench_platform.h"
#include "tools/pack_installer/packer.h"

namespace zevrino::desktop::installer::bench {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::uint64_t kTreeTarget = 300ull * 1000 * 1000;
constexpr std::uint64_t kSmallestFile = 1000 * 1000;
constexpr std::uint32_t kPreset = 1;
constexpr double kMB = 1e6;

double Seconds(Clock::time_point from) {
  return std::chrono::duration<double>(Clock::now() - from).count();
}

fs::path CacheRoot() {
  if (const char* own = std::getenv("ZV_BENCH_CACHE")) {
    return fs::u8path(own);
  }
  // Wine names the Linux home directory in WINEHOMEDIR ("\??\Z:\home\me");
  // HOME itself is not passed on.
  if (const char* home = std::getenv("WINEHOMEDIR")) {
    const std::string text = home;
    const std::string nt_prefix = "\\??\\";
    return fs::u8path(text.rfind(nt_prefix, 0) == 0 ? text.substr(nt_prefix.size()) : text) /
           ".cache" / "zevrino-bench";
  }
  const char* local = std::getenv("LOCALAPPDATA");
  return fs::u8path(local != nullptr ? local : ".") / "zevrino-bench";
}

struct InputFile {
  fs::path source;
  std::string name;  // inside the application folder, "/" separated
  std::uint64_t size = 0;
};

std::vector<InputFile> ChooseInput(const fs::path& dll_directory) {
  std::vector<fs::path> candidates;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(dll_directory, ec)) {
    if (entry.is_regular_file(ec) && entry.file_size(ec) >= kSmallestFile) {
      candidates.push_back(entry.path());
    }
  }
  std::sort(candidates.begin(), candidates.end());
  std::vector<InputFile> input;
  std::uint64_t total = 0;
  for (const fs::path& path : candidates) {
    if (total >= kTreeTarget) {
      break;
    }
    InputFile file;
    file.source = path;
    file.size = fs::file_size(path, ec);
    file.name = (input.size() % 10 == 0 ? "locales/" : "") + path.filename().u8string();
    total += file.size;
    input.push_back(file);
  }
  return input;
}

// FNV-1a over what decides the installer's bytes.
std::string CacheKey(const std::vector<InputFile>& input) {
  std::uint64_t hash = 14695981039346656037ull;
  auto add = [&](const std::string& text) {
    for (const unsigned char c : text) {
      hash = (hash ^ c) * 1099511628211ull;
    }
  };
  add("extract-bench-v1 preset " + std::to_string(kPreset));
  for (const InputFile& file : input) {
    add(file.name + "|" + std::to_string(file.size) + "|");
  }
  char text[17];
  std::snprintf(text, sizeof text, "%016" PRIx64, hash);
  return text;
}

std::uint64_t TreeBytes(const fs::path& root, std::size_t* files) {
  std::uint64_t bytes = 0;
  *files = 0;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->is_regular_file()) {
      bytes += it->file_size();
      ++*files;
    }
  }
  return bytes;
}

// Copies the input into <cache>/app and packs it into <cache>/setup.exe,
// each only when missing (a half-made folder is made again).
bool Prepare(const std::vector<InputFile>& input, const fs::path& cache, const fs::path& stub) {
  const fs::path app = cache / "app", done = cache / "app.complete";
  const fs::path installer = cache / "setup.exe";
  std::error_code ec;
  if (!fs::exists(done)) {
    fs::remove_all(app, ec);
    for (const InputFile& file : input) {
      const fs::path target = app / fs::u8path(file.name);
      fs::create_directories(target.parent_path(), ec);
      if (!fs::copy_file(file.source, target, fs::copy_options::overwrite_existing, ec)) {
        std::fprintf(stderr, "copy of %s failed: %s\n", file.source.u8string().c_str(),
                     ec.message().c_str());
        return false;
      }
    }
    std::ofstream(done).put('\n');
    fs::remove(installer, ec);
  }
  if (!fs::exists(installer)) {
    std::printf("packing %zu files at preset %u (once; cached in %s)...\n", input.size(),
                static_cast<unsigned>(kPreset), cache.u8string().c_str());
    std::fflush(stdout);
    packer::PackRequest request;
    request.stub_path = stub.u8string();
    request.output_path = installer.u8string();
    request.body = {packer::BodySource::Kind::kAppDir, app.u8string()};
    request.encoding.preset = kPreset;
    request.allow_missing_exe = true;  // a tree of DLLs, extracted, never started
    const auto start = Clock::now();
    std::string error;
    if (!packer::Pack(request, &error)) {
      std::fprintf(stderr, "packing failed: %s\n", error.c_str());
      return false;
    }
    std::printf("packed in %.1f s\n", Seconds(start));
  }
  return true;
}

std::uint64_t PeakWorkingSet() {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  return GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)
             ? counters.PeakWorkingSetSize
             : 0;
}

void AppendResult(const std::string& results, const std::string& line) {
  std::ofstream(fs::u8path(results), std::ios::app) << line << "\n";
}

// ---- measurements, each in its own process --------------------------------

int MeasureExtract(const std::string& installer, const std::string& target,
                   const std::string& results) {
  const auto start = Clock::now();
  MappedFile file;
  if (!file.Open(installer)) {
    std::fprintf(stderr, "cannot map %s\n", installer.c_str());
    return 1;
  }
  PayloadReader reader(file.data(), file.data() + file.size());
  std::uint16_t flags = 0;
  ErrorCode error;
  if (!OpenPayload(&reader, &flags, error)) {
    std::fprintf(stderr, "payload error %d\n", error.value());
    return 1;
  }
  const ResultCode code = ExtractArchive(fs::u8path(target).wstring(), reader);
  const double seconds = Seconds(start);
  if (code != kSuccess) {
    std::fprintf(stderr, "ExtractArchive failed with %u\n", ResultNumber(code));
    return 1;
  }
  AppendResult(results, "extract " + std::to_string(seconds) + " " +
                            std::to_string(PeakWorkingSet()) + " " +
                            std::to_string(reader.end() - reader.begin()));
  return 0;
}

bool ReadBodyHeader(PayloadReader* body, std::uint32_t* decoded_size, lzma_filter* lzma) {
  std::uint32_t filter = 0;
  std::uint8_t properties[5];
  if (!body->ReadVarint(decoded_size) || *decoded_size == 0 || !body->ReadVarint(&filter) ||
      filter != 1 || !body->ReadBytes(properties, sizeof properties)) {
    return false;
  }
  lzma->id = LZMA_FILTER_LZMA1;
  return lzma_properties_decode(lzma, nullptr, properties, sizeof properties) == LZMA_OK;
}

// Raw decoding bounded to U bytes: without an end marker the x86 filter may
// hold back the last up to 4 bytes, which does not matter for a time.
bool RawDecode(PayloadReader body, lzma_filter lzma, std::uint8_t* out, std::size_t size) {
  lzma_filter filters[] = {{LZMA_FILTER_X86, nullptr}, lzma, {LZMA_VLI_UNKNOWN, nullptr}};
  lzma_stream stream = LZMA_STREAM_INIT;
  if (lzma_raw_decoder(&stream, filters) != LZMA_OK) {
    return false;
  }
  stream.next_in = body.position();
  stream.avail_in = body.Remaining();
  stream.next_out = out;
  stream.avail_out = size;
  lzma_ret ret = LZMA_OK;
  while (ret == LZMA_OK && stream.avail_out > 0 && stream.avail_in > 0) {
    ret = lzma_code(&stream, LZMA_RUN);
  }
  const std::size_t produced = size - stream.avail_out;
  lzma_end(&stream);
  return (ret == LZMA_OK || ret == LZMA_STREAM_END) && produced + 4 >= size;
}

bool CopyTree(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  for (fs::recursive_directory_iterator it(from, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path target = to / fs::relative(it->path(), from);
    if (it->is_directory()) {
      if (!CreateDirectoryW(target.c_str(), nullptr)) {
        return false;
      }
    } else if (!CopyFileW(it->path().c_str(), target.c_str(), TRUE)) {
      return false;
    }
  }
  return !ec;
}

int MeasureFloor(const std::string& installer, const std::string& app, const std::string& target,
                 const std::string& results) {
  MappedFile file;
  if (!file.Open(installer)) {
    return 1;
  }
  PayloadReader body(file.data(), file.data() + file.size());
  std::uint16_t flags = 0;
  ErrorCode error;
  std::uint32_t decoded_size = 0;
  lzma_filter lzma = {};
  if (!OpenPayload(&body, &flags, error) || !ReadBodyHeader(&body, &decoded_size, &lzma)) {
    std::fprintf(stderr, "%s: not a compressed x86 payload\n", installer.c_str());
    return 1;
  }
  std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[decoded_size]);

  auto start = Clock::now();
  const bool decoded = RawDecode(body, lzma, buffer.get(), decoded_size);
  const double decode_seconds = Seconds(start);
  free(lzma.options);
  start = Clock::now();
  const bool copied = CreateDirectoryW(fs::u8path(target).c_str(), nullptr) &&
                      CopyTree(fs::u8path(app), fs::u8path(target));
  const double copy_seconds = Seconds(start);
  if (!decoded || !copied) {
    std::fprintf(stderr, "floor failed: %s\n", decoded ? "copy" : "decode");
    return 1;
  }
  AppendResult(results, "floor " + std::to_string(decode_seconds) + " " +
                            std::to_string(copy_seconds) + " " + std::to_string(PeakWorkingSet()) +
                            " " + std::to_string(decoded_size));
  return 0;
}

// ---- driver ---------------------------------------------------------------

// Runs this program with `args` and waits; true when it exited with 0.
bool RunChild(const std::wstring& args) {
  wchar_t self[MAX_PATH * 4];
  if (GetModuleFileNameW(nullptr, self, MAX_PATH * 4) == 0) {
    return false;
  }
  std::wstring command = L"\"" + std::wstring(self) + L"\" " + args;
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(self, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                      &info)) {
    return false;
  }
  WaitForSingleObject(info.hProcess, INFINITE);
  DWORD exit_code = 1;
  GetExitCodeProcess(info.hProcess, &exit_code);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return exit_code == 0;
}

std::wstring Quoted(const fs::path& path) {
  return L"\"" + path.wstring() + L"\"";
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

int Run(int runs, const fs::path& dll_directory) {
  const std::vector<InputFile> input = ChooseInput(dll_directory);
  if (input.empty()) {
    std::fprintf(stderr, "no input files in %s\n", dll_directory.u8string().c_str());
    return 1;
  }
  const fs::path cache = CacheRoot() / ("extract-" + CacheKey(input));
  wchar_t self[MAX_PATH * 4];
  GetModuleFileNameW(nullptr, self, MAX_PATH * 4);
  if (!Prepare(input, cache, fs::path(self))) {
    return 1;
  }
  std::size_t files = 0;
  const std::uint64_t tree_bytes = TreeBytes(cache / "app", &files);
  const std::uint64_t installer_bytes = fs::file_size(cache / "setup.exe");
  std::printf("tree: %zu files, %.1f MB; installer %.1f MB (preset %u, x86 filter)\n", files,
              tree_bytes / kMB, installer_bytes / kMB, static_cast<unsigned>(kPreset));

  const fs::path results = cache / "results.txt";
  const fs::path target = cache / "target";
  std::error_code ec;
  fs::remove(results, ec);
  for (int run = 0; run < runs; ++run) {
    fs::remove_all(target, ec);
    if (!RunChild(L"--measure extract " + Quoted(cache / "setup.exe") + L" " + Quoted(target) +
                  L" " + Quoted(results))) {
      std::fprintf(stderr, "extraction run failed\n");
      return 1;
    }
    std::size_t extracted_files = 0;
    if (TreeBytes(target, &extracted_files) != tree_bytes || extracted_files != files) {
      std::fprintf(stderr, "extraction laid down %zu files, not %zu\n", extracted_files, files);
      return 1;
    }
    fs::remove_all(target, ec);
    if (!RunChild(L"--measure floor " + Quoted(cache / "setup.exe") + L" " + Quoted(cache / "app") +
                  L" " + Quoted(target) + L" " + Quoted(results))) {
      std::fprintf(stderr, "floor run failed\n");
      return 1;
    }
    fs::remove_all(target, ec);
  }

  std::vector<double> extract, extract_peak, decode, copy, floor, floor_peak;
  double payload_bytes = 0, decoded_bytes = 0;
  std::ifstream in(results);
  std::string kind;
  while (in >> kind) {
    double a = 0, b = 0, c = 0, d = 0;
    in >> a >> b >> c;
    if (kind == "extract") {
      extract.push_back(a);
      extract_peak.push_back(b);
      payload_bytes = c;
    } else {
      decode.push_back(a);
      copy.push_back(b);
      floor.push_back(a + b);
      floor_peak.push_back(c);
      in >> d;
      decoded_bytes = d;
    }
  }
  const std::string header = "median of " + std::to_string(runs) + " runs";
  std::printf("%-36s %9s %9s %10s\n", header.c_str(), "seconds", "MB/s", "peak MB");
  // Peaks are per process, so the floor's parts have none of their own.
  auto row = [&](const char* what, double seconds, double peak) {
    std::printf("%-36s %9.2f %9.1f ", what, seconds, tree_bytes / kMB / seconds);
    if (peak > 0) {
      std::printf("%10.1f\n", peak / kMB);
    } else {
      std::printf("%10s\n", "-");
    }
  };
  row("extract (OpenPayload+ExtractArchive)", Median(extract), Median(extract_peak));
  row("floor: raw decode + copy", Median(floor), Median(floor_peak));
  row("  raw decode [x86, LZMA1]", Median(decode), 0);
  row("  CopyFileW of the tree", Median(copy), 0);
  const double limit = (decoded_bytes + payload_bytes) / kMB + 64;
  std::printf("extract / floor: %.2fx (target <= 1.15x)\n", Median(extract) / Median(floor));
  std::printf("extract peak %.1f MB, limit U + payload + 64 MB = %.1f + %.1f + 64 = %.1f MB\n",
              Median(extract_peak) / kMB, decoded_bytes / kMB, payload_bytes / kMB, limit);
  std::printf("each run:");
  for (std::size_t i = 0; i < extract.size() && i < floor.size(); ++i) {
    std::printf(" %.2f/%.2f", extract[i], floor[i]);
  }
  std::printf(" (extract/floor seconds)\n");
  return 0;
}

}  // namespace
}  // namespace zevrino::desktop::installer::bench

int main(int argc, char** argv) {
  using namespace zevrino::desktop::installer::bench;
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 5 && args[0] == "--measure" && args[1] == "extract") {
    return MeasureExtract(args[2], args[3], args[4]);
  }
  if (args.size() == 6 && args[0] == "--measure" && args[1] == "floor") {
    return MeasureFloor(args[2], args[3], args[4], args[5]);
  }
  const int runs = args.size() >= 1 ? std::max(1, std::atoi(args[0].c_str())) : 5;
  const std::filesystem::path dlls =
      args.size() >= 2
          ? std::filesystem::u8path(args[1])
          : std::filesystem::path(L"Z:\\usr\\lib\\x86_64-linux-gnu\\wine\\x86_64-windows");
  return Run(runs, dlls);
}
