#pragma once
// Encodes the payload body in the layout that payload/payload_decoder.h reads:
//
//   U           varint   decoded size; 0 for a stored body
//   F           varint   branch filter: 0 none, 1 x86
//   properties  5 bytes  only when U != 0: lc/lp/pb byte, dictionary size LE
//   data        rest     raw LZMA1 stream without end marker, or the bytes
//
// Compressed bodies run through the x86 branch filter first (when chosen) and
// are then LZMA1-encoded raw with a 32 MiB dictionary. The encoder knows the
// size, so it writes no end-of-payload marker: the decoder stops after U bytes.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zevrino::desktop::packer {

enum class Compression { kStored, kLzma };

// Values are the F field of the body.
enum class BranchFilter : std::uint32_t { kNone = 0, kX86 = 1 };

constexpr std::uint32_t kDictionarySize = 32u << 20;
constexpr std::uint32_t kDefaultPreset = 6;
constexpr std::uint32_t kMaxPreset = 9;

// Told how many input bytes of how many the encoder has consumed. Called on
// the encoding thread after every kProgressStep bytes and once at the end
// (done == total); never for a stored body, which costs nothing to write.
using EncodeProgress = std::function<void(std::uint64_t done, std::uint64_t total)>;

constexpr std::size_t kProgressStep = 1u << 20;

struct BodyOptions {
  Compression compression = Compression::kLzma;
  std::uint32_t preset = kDefaultPreset;  // 0-9; match finder, depth and nice length
  bool extreme = false;                   // the "e" presets: slower, a little smaller
  BranchFilter filter = BranchFilter::kX86;
  EncodeProgress progress;  // may be empty
};

// Appends the encoded body of data[0, size) to *out. A compressed body of
// size 0 cannot be expressed (U = 0 means stored), so an empty input is
// always written stored; both decode to nothing. Fails (with a reason in
// *error) when the input exceeds 4 GiB - 1 bytes, the preset is out of range
// or the encoder fails; *out is then restored to its size on entry.
bool EncodeBody(const std::uint8_t* data, std::size_t size, const BodyOptions& options,
                std::vector<std::uint8_t>* out, std::string* error);

// Properties byte for lc/lp/pb: (pb * 5 + lp) * 9 + lc.
constexpr std::uint8_t LzmaPropertiesByte(std::uint32_t lc, std::uint32_t lp, std::uint32_t pb) {
  return static_cast<std::uint8_t>((pb * 5 + lp) * 9 + lc);
}

}  // namespace zevrino::desktop::packer
