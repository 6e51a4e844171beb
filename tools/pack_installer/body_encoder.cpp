#include "tools/pack_installer/body_encoder.h"

#include <lzma.h>

#include <algorithm>
#include <limits>

#include "payload/payload_reader.h"

namespace zevrino::desktop::packer {

namespace {

using installer::EncodeVarint;
using installer::kMaxVarintSize;

void AppendVarint(std::uint32_t value, std::vector<std::uint8_t>* out) {
  std::uint8_t bytes[kMaxVarintSize];
  const std::size_t n = EncodeVarint(value, bytes);
  out->insert(out->end(), bytes, bytes + n);
}

void AppendLe32(std::uint32_t value, std::vector<std::uint8_t>* out) {
  for (int shift = 0; shift < 32; shift += 8) {
    out->push_back(static_cast<std::uint8_t>(value >> shift));
  }
}

std::string LzmaErrorText(lzma_ret ret) {
  switch (ret) {
    case LZMA_MEM_ERROR:
      return "LZMA encoder: out of memory";
    case LZMA_OPTIONS_ERROR:
      return "LZMA encoder: options not supported";
    case LZMA_PROG_ERROR:
      return "LZMA encoder: invalid arguments";
    default:
      return "LZMA encoder failed with code " + std::to_string(static_cast<int>(ret));
  }
}

// Owns an lzma_stream for one encoding.
class LzmaStream {
 public:
  LzmaStream() = default;
  ~LzmaStream() { lzma_end(&stream_); }
  LzmaStream(const LzmaStream&) = delete;
  LzmaStream& operator=(const LzmaStream&) = delete;
  lzma_stream* get() { return &stream_; }

 private:
  lzma_stream stream_ = LZMA_STREAM_INIT;
};

// Appends the raw LZMA1 stream of data (x86-filtered first when asked). The
// input is handed over in steps of kProgressStep so that progress can be
// reported; liblzma's output does not depend on how its input is split.
bool AppendLzmaStream(const std::uint8_t* data, std::size_t size, const lzma_filter* filters,
                      const EncodeProgress& progress, std::vector<std::uint8_t>* out,
                      std::string* error) {
  LzmaStream stream;
  lzma_stream* strm = stream.get();
  lzma_ret ret = lzma_raw_encoder(strm, filters);
  if (ret != LZMA_OK) {
    *error = LzmaErrorText(ret);
    return false;
  }
  strm->next_in = data;
  strm->avail_in = 0;
  std::size_t handed_over = 0;
  std::uint64_t reported = 0;
  // Incompressible data grows by a little over 1/64 at worst; start from a
  // guess that avoids most regrowth for typical application files.
  std::size_t produced = out->size();
  out->resize(produced + size / 2 + 4096);
  for (;;) {
    if (strm->avail_in == 0 && handed_over < size) {
      strm->avail_in = std::min(kProgressStep, size - handed_over);
      handed_over += strm->avail_in;
    }
    // Once LZMA_FINISH is given the input must stay as it is, which holds:
    // it is only given with the last step handed over.
    const lzma_action action = handed_over == size ? LZMA_FINISH : LZMA_RUN;
    if (produced == out->size()) {
      out->resize(out->size() + out->size() / 2 + 65536);
    }
    strm->next_out = out->data() + produced;
    strm->avail_out = out->size() - produced;
    ret = lzma_code(strm, action);
    produced = out->size() - strm->avail_out;
    if (ret != LZMA_OK && ret != LZMA_STREAM_END) {
      *error = LzmaErrorText(ret);
      return false;
    }
    if (progress && (strm->total_in >= reported + kProgressStep ||
                     (ret == LZMA_STREAM_END && strm->total_in != reported))) {
      reported = strm->total_in;
      progress(reported, size);
    }
    if (ret == LZMA_STREAM_END) {
      break;
    }
  }
  out->resize(produced);
  return true;
}

}  // namespace

bool EncodeBody(const std::uint8_t* data, std::size_t size, const BodyOptions& options,
                std::vector<std::uint8_t>* out, std::string* error) {
  if (size > std::numeric_limits<std::uint32_t>::max()) {
    *error = "body too large: " + std::to_string(size) + " bytes (at most 4294967295)";
    return false;
  }
  if (options.compression == Compression::kStored || size == 0) {
    AppendVarint(0, out);  // U = 0: stored
    AppendVarint(0, out);  // F is not read for stored bodies
    out->insert(out->end(), data, data + size);
    return true;
  }
  if (options.preset > kMaxPreset) {
    *error = "preset " + std::to_string(options.preset) + " out of range 0-9";
    return false;
  }

  lzma_options_lzma lzma_options{};
  if (lzma_lzma_preset(&lzma_options,
                       options.preset | (options.extreme ? LZMA_PRESET_EXTREME : 0u))) {
    *error = "preset " + std::to_string(options.preset) + " not supported by liblzma";
    return false;
  }
  lzma_options.dict_size = kDictionarySize;
  // LZMA1EXT without ALLOW_EOPM: the encoder omits the end marker. The size
  // fields are read by the decoder only; they are set for completeness.
  lzma_options.ext_flags = 0;
  lzma_set_ext_size(lzma_options, size);

  lzma_options_bcj bcj_options{};
  bcj_options.start_offset = 0;
  lzma_filter filters[3];
  std::size_t n = 0;
  if (options.filter == BranchFilter::kX86) {
    filters[n++] = {LZMA_FILTER_X86, &bcj_options};
  }
  filters[n++] = {LZMA_FILTER_LZMA1EXT, &lzma_options};
  filters[n] = {LZMA_VLI_UNKNOWN, nullptr};

  const std::size_t entry_size = out->size();
  AppendVarint(static_cast<std::uint32_t>(size), out);
  AppendVarint(static_cast<std::uint32_t>(options.filter), out);
  out->push_back(LzmaPropertiesByte(lzma_options.lc, lzma_options.lp, lzma_options.pb));
  AppendLe32(lzma_options.dict_size, out);
  if (!AppendLzmaStream(data, size, filters, options.progress, out, error)) {
    out->resize(entry_size);
    return false;
  }
  return true;
}

}  // namespace zevrino::desktop::packer
