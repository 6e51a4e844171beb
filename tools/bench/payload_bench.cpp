// Payload benchmark: how fast the installer finds, verifies and decodes a
// realistic payload, against liblzma's own decoding as the floor.
//
//   payload_bench [cache-file [dll-directory]]
//
// The payload is made once from real x86-64 PE code (Wine's DLLs, taken in
// sorted order until at least 100 MB) with liblzma: raw LZMA1, x86 filter,
// 32 MiB dictionary, preset 2. It is wrapped like an installer (image,
// payload, marker, length, padding, a stand-in certificate table) and cached
// outside the repository, by default in $XDG_CACHE_HOME or ~/.cache (Linux)
// or %LOCALAPPDATA% (Windows) under zevrino-bench/.

#include <lzma.h>

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "payload/bcj_x86.h"
#include "payload/marker_search.h"
#include "payload/payload_container.h"
#include "payload/payload_decoder.h"
#include "payload/payload_reader.h"
#include "payload/sha1.h"
#include "tools/bench/payload_bench_platform.h"

namespace zevrino::desktop::installer::bench {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kTreeTarget = 100u * 1000 * 1000;
constexpr std::uint32_t kDictionary = 32u << 20;
constexpr double kMB = 1e6;

std::string DefaultCachePath() {
#ifdef _WIN32
  const char* base = std::getenv("LOCALAPPDATA");
  const std::string dir = base != nullptr ? std::string(base) : std::string(".");
#else
  const char* xdg = std::getenv("XDG_CACHE_HOME");
  const char* home = std::getenv("HOME");
  const std::string dir = xdg != nullptr    ? std::string(xdg)
                          : home != nullptr ? std::string(home) + "/.cache"
                                            : std::string(".");
#endif
  return (fs::u8path(dir) / "zevrino-bench" / "payload-x86-dlls.bin").u8string();
}

std::string DefaultDllDirectory() {
#ifdef _WIN32
  return "Z:\\usr\\lib\\x86_64-linux-gnu\\wine\\x86_64-windows";
#else
  return "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows";
#endif
}

bool ReadTree(const std::string& directory, Bytes* tree, std::size_t* files) {
  std::vector<fs::path> dlls;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(fs::u8path(directory), error)) {
    if (entry.is_regular_file() && entry.path().extension() == ".dll") {
      dlls.push_back(entry.path());
    }
  }
  if (error) {
    return false;
  }
  std::sort(dlls.begin(), dlls.end());
  for (const auto& dll : dlls) {
    if (tree->size() >= kTreeTarget) {
      break;
    }
    std::ifstream in(dll, std::ios::binary);
    tree->insert(tree->end(), std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    ++*files;
  }
  return tree->size() >= kTreeTarget;
}

void AppendVarint(std::uint32_t value, Bytes* out) {
  std::uint8_t bytes[kMaxVarintSize];
  out->insert(out->end(), bytes, bytes + EncodeVarint(value, bytes));
}

void AppendLittleEndian(std::uint64_t value, int size, Bytes* out) {
  for (int i = 0; i < size; ++i) {
    out->push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  }
}

// Body: U, F = 1, the 5 property bytes, raw [x86, LZMA1] stream.
bool CompressBody(const Bytes& tree, Bytes* body) {
  lzma_options_lzma options;
  if (lzma_lzma_preset(&options, 2)) {
    return false;
  }
  options.dict_size = kDictionary;
  lzma_filter filters[3] = {
      {LZMA_FILTER_X86, nullptr}, {LZMA_FILTER_LZMA1, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
  AppendVarint(static_cast<std::uint32_t>(tree.size()), body);
  AppendVarint(1, body);
  std::uint8_t properties[5];
  if (lzma_properties_encode(&filters[1], properties) != LZMA_OK) {
    return false;
  }
  body->insert(body->end(), properties, properties + 5);

  lzma_stream stream = LZMA_STREAM_INIT;
  if (lzma_raw_encoder(&stream, filters) != LZMA_OK) {
    return false;
  }
  const std::size_t header = body->size();
  body->resize(header + tree.size() + tree.size() / 8 + (1 << 16));
  stream.next_in = tree.data();
  stream.avail_in = tree.size();
  stream.next_out = body->data() + header;
  stream.avail_out = body->size() - header;
  const lzma_ret ret = lzma_code(&stream, LZMA_FINISH);
  body->resize(header + stream.total_out);
  lzma_end(&stream);
  return ret == LZMA_STREAM_END;
}

bool Pack(const std::string& cache_path, const std::string& dll_directory) {
  std::printf("packing %s into %s ...\n", dll_directory.c_str(), cache_path.c_str());
  Bytes tree;
  std::size_t files = 0;
  if (!ReadTree(dll_directory, &tree, &files)) {
    std::fprintf(stderr, "fewer than %zu bytes of DLLs in %s\n", kTreeTarget,
                 dll_directory.c_str());
    return false;
  }
  const auto start = std::chrono::steady_clock::now();
  Bytes body;
  if (!CompressBody(tree, &body)) {
    std::fprintf(stderr, "compression failed\n");
    return false;
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("  %zu files, %zu bytes -> %zu bytes in %.1f s\n", files, tree.size(), body.size(),
              seconds);

  std::mt19937 random(1);
  Bytes file(1221120);  // an installer image's worth of bytes before the payload
  for (auto& b : file) {
    b = static_cast<std::uint8_t>(random());
  }
  const std::size_t payload_start = file.size();
  AppendLittleEndian(4, 2, &file);  // header size
  AppendLittleEndian(0, 2, &file);  // flags
  std::uint8_t digest[kSha1DigestSize];
  Sha1Digest(body.data(), body.size(), digest);
  file.insert(file.end(), digest, digest + sizeof(digest));
  file.insert(file.end(), body.begin(), body.end());
  const std::size_t payload_size = file.size() - payload_start;
  file.insert(file.end(), PayloadMarker(), PayloadMarker() + kPayloadMarkerSize);
  AppendLittleEndian(payload_size, 4, &file);
  file.resize(file.size() + 7 + 9000);  // padding and a stand-in certificate table
  for (std::size_t i = file.size() - 9000; i < file.size(); ++i) {
    file[i] = static_cast<std::uint8_t>(random());
  }

  const fs::path path = fs::u8path(cache_path);
  std::error_code ignored;
  fs::create_directories(path.parent_path(), ignored);
  const fs::path temporary = fs::path(path).concat(".tmp");
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.data()),
              static_cast<std::streamsize>(file.size()));
    if (!out) {
      std::fprintf(stderr, "cannot write %s\n", temporary.u8string().c_str());
      return false;
    }
  }
  fs::rename(temporary, path);
  return true;
}

struct Timing {
  double wall = 1e9;  // seconds, best of the runs
  double cpu = 1e9;   // thread CPU seconds, best of the runs
};

Timing Best(int runs, const std::function<void()>& work) {
  Timing best;
  for (int i = 0; i < runs; ++i) {
    const double cpu_start = ThreadCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    work();
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    best.wall = std::min(best.wall, wall);
    best.cpu = std::min(best.cpu, ThreadCpuSeconds() - cpu_start);
  }
  return best;
}

void PrintRate(const char* what, double mb, const Timing& t) {
  std::printf("%-38s %8.1f MB/s wall (%7.1f ms), ", what, mb / t.wall, t.wall * 1e3);
  if (t.cpu > 0) {
    std::printf("%8.1f MB/s CPU (%7.1f ms)\n", mb / t.cpu, t.cpu * 1e3);
  } else {
    std::printf("CPU time below the clock's resolution\n");  // Windows counts in ticks
  }
}

// liblzma's own decoding of the body: [x86, LZMA1] straight into `output`.
bool LiblzmaDecode(const PayloadReader& body_after_varints, Bytes* output) {
  const std::uint8_t* properties = body_after_varints.position();
  lzma_filter lzma1 = {LZMA_FILTER_LZMA1, nullptr};
  if (lzma_properties_decode(&lzma1, nullptr, properties, 5) != LZMA_OK) {
    return false;
  }
  // With the size known, the decoder ends the stream after it whether or not
  // an end marker follows, and the x86 filter then gives up the last bytes it
  // holds back; plain LZMA1 without an end marker would wait for more.
  lzma1.id = LZMA_FILTER_LZMA1EXT;
  auto* options = static_cast<lzma_options_lzma*>(lzma1.options);
  options->ext_flags = LZMA_LZMA1EXT_ALLOW_EOPM;
  options->ext_size_low = static_cast<std::uint32_t>(output->size());
  options->ext_size_high =
      static_cast<std::uint32_t>(static_cast<std::uint64_t>(output->size()) >> 32);
  lzma_filter filters[3] = {{LZMA_FILTER_X86, nullptr}, lzma1, {LZMA_VLI_UNKNOWN, nullptr}};
  lzma_stream stream = LZMA_STREAM_INIT;
  const lzma_ret init = lzma_raw_decoder(&stream, filters);
  std::free(lzma1.options);
  if (init != LZMA_OK) {
    return false;
  }
  stream.next_in = properties + 5;
  stream.avail_in = body_after_varints.Remaining() - 5;
  stream.next_out = output->data();
  stream.avail_out = output->size();
  lzma_ret ret = LZMA_OK;
  while (ret == LZMA_OK && stream.avail_out != 0) {
    ret = lzma_code(&stream, LZMA_FINISH);
  }
  lzma_end(&stream);
  return ret == LZMA_OK || ret == LZMA_STREAM_END;
}

int Run(int argc, char** argv) {
  const std::string cache_path = argc > 1 ? argv[1] : DefaultCachePath();
  const std::string dll_directory = argc > 2 ? argv[2] : DefaultDllDirectory();
  bool packed_now = false;
  if (!fs::exists(fs::u8path(cache_path))) {
    if (!Pack(cache_path, dll_directory)) {
      return 1;
    }
    packed_now = true;
  }

  MappedFile file;
  if (!file.Open(cache_path)) {
    std::fprintf(stderr, "cannot map %s\n", cache_path.c_str());
    return 1;
  }
  const double file_mb = static_cast<double>(file.size()) / kMB;
  std::printf("file %s: %.1f MB\n", cache_path.c_str(), file_mb);

  // Warm the page cache and the mapping so that every figure below measures
  // work, not disk reads.
  std::uint8_t digest[kSha1DigestSize];
  Sha1Digest(file.data(), file.size(), digest);

  // 1. Marker search as OpenPayload runs it: the marker sits near the end.
  std::size_t marker = kNotFound;
  const Timing search = Best(20, [&] {
    marker = FindLastOccurrence(file.data(), file.size(), PayloadMarker(), kPayloadMarkerSize);
  });
  if (marker == kNotFound) {
    std::fprintf(stderr, "no marker in %s\n", cache_path.c_str());
    return 1;
  }
  // Worst case, a file without payload: the whole file is scanned.
  std::uint8_t absent[kPayloadMarkerSize];
  std::memcpy(absent, PayloadMarker(), kPayloadMarkerSize);
  absent[kPayloadMarkerSize - 1] ^= 0x55;
  const Timing scan = Best(3, [&] {
    if (FindLastOccurrence(file.data(), file.size(), absent, kPayloadMarkerSize) != kNotFound) {
      std::abort();
    }
  });

  // 2. Open: search, header, digest.
  PayloadReader reader;
  std::uint16_t flags = 0;
  ErrorCode error;
  bool opened = false;
  const Timing open = Best(3, [&] {
    reader.Reseat(file.data(), file.data() + file.size());
    opened = OpenPayload(&reader, &flags, error);
  });
  if (!opened) {
    std::fprintf(stderr, "OpenPayload failed: %d\n", error.value());
    return 1;
  }
  const double payload_mb = static_cast<double>(reader.end() - reader.begin()) / kMB;
  const Timing sha1 = Best(3, [&] { Sha1Digest(reader.position(), reader.Remaining(), digest); });
  std::uint32_t state[5] = {};
  const Timing sha1_portable = Best(1, [&] {
    sha1_internal::CompressPortable(state, reader.position(), reader.Remaining() / 64);
  });

  // 3. Decoding, the allocation of the U-byte buffer included.
  PayloadReader body = reader;
  std::uint32_t decoded_size = 0;
  std::uint32_t filter = 0;
  body.ReadVarint(&decoded_size);
  body.ReadVarint(&filter);
  const double decoded_mb = decoded_size / kMB;
  Bytes ours;
  const Timing decode = Best(3, [&] {
    Bytes().swap(ours);  // free the previous run's buffer first
    if (!DecodePayloadBody(reader, &ours, error)) {
      std::fprintf(stderr, "DecodePayloadBody failed: %d\n", error.value());
      std::exit(1);
    }
  });
  const std::uint64_t peak = PeakMemoryBytes();

  // Parts of that time: a zeroed U-byte buffer, and the x86 pass alone.
  const Timing allocation = Best(3, [&] {
    Bytes zeroed(decoded_size);
    if (zeroed[decoded_size / 2] != 0) {
      std::abort();
    }
  });
  Bytes scratch = ours;
  const Timing x86_pass = Best(3, [&] { BcjX86Decode(scratch.data(), scratch.size()); });
  Bytes().swap(scratch);

  // 4. The floor: liblzma's [x86, LZMA1] chain into a buffer allocated and
  //    touched beforehand (after the peak above was taken).
  Bytes floor_output(decoded_size);
  bool floor_ok = true;
  const Timing floor = Best(3, [&] { floor_ok = floor_ok && LiblzmaDecode(body, &floor_output); });
  const bool same = floor_ok && floor_output == ours;
  Bytes().swap(floor_output);
  // The same floor paying for a fresh buffer, as DecodePayloadBody must.
  const Timing floor_fresh = Best(3, [&] {
    Bytes fresh(decoded_size);
    floor_ok = floor_ok && LiblzmaDecode(body, &fresh);
  });

  std::printf("payload %.1f MB, decoded body %.1f MB (x86 filter %s)\n", payload_mb, decoded_mb,
              filter == 1 ? "on" : "off");
  std::printf("%-38s %8.3f ms\n", "marker search, marker near the end", search.wall * 1e3);
  PrintRate("marker search, whole file, no marker", file_mb, scan);
  PrintRate(sha1_internal::HasShaExtensions() ? "SHA-1 of the payload (SHA extensions)"
                                              : "SHA-1 of the payload (portable)",
            payload_mb, sha1);
  PrintRate("SHA-1 of the payload, portable code", payload_mb, sha1_portable);
  PrintRate("OpenPayload (search + header + digest)", payload_mb, open);
  PrintRate("DecodePayloadBody", decoded_mb, decode);
  PrintRate("  of which: zeroed U-byte buffer", decoded_mb, allocation);
  PrintRate("  of which: x86 filter pass", decoded_mb, x86_pass);
  PrintRate("floor: liblzma [x86, LZMA1], prealloc.", decoded_mb, floor);
  PrintRate("floor with a fresh zeroed buffer", decoded_mb, floor_fresh);
  if (!same) {
    std::printf("OUTPUT OF THE FLOOR DIFFERS FROM OURS\n");
  }
  std::printf("open / decode: %.2f %% wall, %.2f %% CPU\n", 100.0 * open.wall / decode.wall,
              100.0 * open.cpu / decode.cpu);
  std::printf("decode / floor: %.1f %% wall, %.1f %% CPU\n", 100.0 * decode.wall / floor.wall,
              100.0 * decode.cpu / floor.cpu);
  std::printf("decode / floor with fresh buffer: %.1f %% wall, %.1f %% CPU\n",
              100.0 * decode.wall / floor_fresh.wall, 100.0 * decode.cpu / floor_fresh.cpu);
  if (packed_now) {
    std::printf("peak memory: not meaningful in a run that packed; run again\n");
  } else {
    std::printf("peak memory: %.1f MB = mapping %.1f MB + U %.1f MB + %.1f MB\n", peak / kMB,
                file_mb, decoded_mb, (static_cast<double>(peak) / kMB) - file_mb - decoded_mb);
  }
  return same ? 0 : 1;
}

}  // namespace
}  // namespace zevrino::desktop::installer::bench

int main(int argc, char** argv) {
  return zevrino::desktop::installer::bench::Run(argc, argv);
}
