#include "payload/payload_decoder.h"

#include <lzma.h>

#include <algorithm>
#include <new>
#include <stdexcept>

#include "base/result_code.h"
#include "payload/bcj_x86.h"
#include "payload/lzma_stream_owner.h"
#include "payload/mapped_read_guard.h"
#include "text/little_endian.h"

namespace zevrino::desktop::installer {
namespace {

constexpr std::size_t kPropertiesSize = 5;
constexpr std::size_t kMinCompressedSize = 5;  // the range coder's initial bytes
constexpr std::uint32_t kMinDictionary = 4096;
constexpr std::uint8_t kPropertiesLimit = 9 * 5 * 5;  // lc < 9, lp < 5, pb < 5

// Output is requested in slices of this size so that the x86 filter runs over
// bytes that are still in the cache; it is a streaming filter, so the result
// is the same as one pass over the whole buffer.
constexpr std::size_t kSliceSize = 256 * 1024;

// A stored body is copied in steps of this size, between which a stop is
// looked at.
constexpr std::size_t kCopyStep = 64 << 20;

constexpr std::uint32_t kFilterNone = 0;
constexpr std::uint32_t kFilterX86 = 1;

bool Fail(ResultCode code, ErrorCode& error) {
  error = ErrorCode::Installer(code);
  return false;
}

bool ParseProperties(const std::uint8_t properties[kPropertiesSize], std::uint32_t decoded_size,
                     lzma_options_lzma* options) {
  std::uint8_t d = properties[0];
  if (d >= kPropertiesLimit) {
    return false;
  }
  *options = lzma_options_lzma{};
  options->lc = d % 9;
  options->lp = (d / 9) % 5;
  options->pb = d / 45;
  const std::uint32_t dictionary = text::LoadLittleEndian32(properties + 1);
  // A match can reach back at most over the bytes produced so far, which are
  // fewer than U, so a dictionary larger than U is never needed; capping it
  // keeps liblzma's own allocation (beside our U-byte buffer) no larger than
  // the output even when the properties announce 4 GiB. Streams that are
  // valid decode the same either way; a distance beyond the produced bytes is
  // a data error in both cases.
  options->dict_size = std::max(kMinDictionary, std::min(dictionary, decoded_size));
  return true;
}

// Decodes the raw LZMA1 stream in `input` into exactly output_size bytes at
// `output`, undoing the x86 filter over the bytes produced when `x86` is set.
// Input after the last needed byte is ignored; an end marker or the input
// ending before output_size bytes is corrupt data.
bool DecodeLzma(const lzma_options_lzma& options, const PayloadReader& input, std::uint8_t* output,
                std::size_t output_size, bool x86, const DecodeProgressFunction& progress,
                const DecodeStopFunction& stop, ErrorCode& error) {
  // LZMA1 alone, with the x86 filter applied here afterwards: a liblzma chain
  // [x86, LZMA1] bounded to U bytes keeps back the last bytes of a stream that
  // has no end marker, and LZMA1EXT with a known size rejects trailing input.
  lzma_filter filters[2] = {{LZMA_FILTER_LZMA1, const_cast<lzma_options_lzma*>(&options)},
                            {LZMA_VLI_UNKNOWN, nullptr}};
  LzmaStreamOwner owner;
  lzma_stream* stream = owner.get();
  const lzma_ret init = lzma_raw_decoder(stream, filters);
  if (init == LZMA_MEM_ERROR) {
    return Fail(kOutOfMemory, error);
  }
  if (init != LZMA_OK) {
    return Fail(kPayloadDecodeFailed, error);  // e.g. lc + lp > 4, which liblzma refuses
  }
  stream->next_in = input.position();
  stream->avail_in = input.Remaining();

  std::size_t produced = 0;
  BcjX86StreamDecoder converter;
  while (produced < output_size) {
    stream->next_out = output + produced;
    stream->avail_out = std::min(kSliceSize, output_size - produced);
    lzma_ret ret = LZMA_PROG_ERROR;
    if (!GuardMappedRead(input.position(), input.end(),
                         [&] { ret = lzma_code(stream, LZMA_FINISH); })) {
      return Fail(kPayloadDecodeFailed, error);  // the input's storage went away
    }
    produced = static_cast<std::size_t>(stream->next_out - output);
    // The filter converts an E8/E9 only once it has seen the four operand
    // bytes after it, so the last bytes of a slice wait for the next one;
    // only the end of the whole output makes them final as they are.
    const std::size_t final_bytes =
        x86 ? converter.Advance(output, produced, produced == output_size) : produced;
    if (ret == LZMA_STREAM_END) {
      break;  // end marker
    }
    if (ret == LZMA_MEM_ERROR) {
      return Fail(kOutOfMemory, error);
    }
    if (ret != LZMA_OK) {
      // LZMA_DATA_ERROR, or LZMA_BUF_ERROR once the input is exhausted.
      return Fail(kPayloadDecodeFailed, error);
    }
    if (produced < output_size) {
      if (stop && stop()) {
        return Fail(kCancelled, error);
      }
      if (progress) {
        progress(final_bytes);
      }
    }
  }
  if (produced != output_size) {
    // An end marker before U bytes: the body is shorter than its header says.
    // Handing out a zero-padded buffer as success would install damaged files.
    return Fail(kPayloadDecodeFailed, error);
  }
  return true;
}

}  // namespace

bool ReadPayloadBodyHeader(const PayloadReader& reader, PayloadBodyHeader* header,
                           ErrorCode& error) {
  header->data = reader;
  bool read = false;
  if (!GuardMappedRead(reader.position(), reader.end(),
                       [&] {
                         read = header->data.ReadVarint(&header->decoded_size) &&
                                header->data.ReadVarint(&header->filter);
                       }) ||
      !read) {
    return Fail(kPayloadHeaderUnreadable, error);
  }
  error.clear();
  return true;
}

bool NeedsX86Conversion(const PayloadBodyHeader& header) {
  return header.decoded_size != 0 && header.filter == kFilterX86;
}

bool DecodePayloadBodyInto(const PayloadBodyHeader& header, std::uint8_t* output,
                           const DecodeProgressFunction& progress, ErrorCode& error,
                           X86Conversion conversion, const DecodeStopFunction& stop) {
  if (header.decoded_size == 0) {
    for (const std::uint8_t* from = header.data.position(); from != header.data.end();) {
      if (stop && stop()) {
        return Fail(kCancelled, error);
      }
      const std::size_t step =
          std::min(kCopyStep, static_cast<std::size_t>(header.data.end() - from));
      if (!GuardMappedRead(from, from + step, [&] { std::copy(from, from + step, output); })) {
        return Fail(kPayloadDecodeFailed, error);
      }
      output += step;
      from += step;
    }
    if (progress) {
      progress(header.data.Remaining());
    }
    error.clear();
    return true;
  }
  PayloadReader body = header.data;
  std::uint8_t properties[kPropertiesSize];
  if (!body.ReadBytes(properties, sizeof(properties)) || body.Remaining() < kMinCompressedSize) {
    return Fail(kPayloadDecodeFailed, error);
  }
  lzma_options_lzma options;
  if (!ParseProperties(properties, header.decoded_size, &options)) {
    return Fail(kPayloadDecodeFailed, error);
  }
  const bool known_filter = header.filter == kFilterNone || header.filter == kFilterX86;
  const bool convert = header.filter == kFilterX86 && conversion == X86Conversion::kWhileDecoding;
  if (!DecodeLzma(options, body, output, header.decoded_size, convert,
                  known_filter ? progress : DecodeProgressFunction(), stop, error)) {
    return false;
  }
  if (!known_filter) {
    return Fail(kUnknownFilter, error);
  }
  if (progress) {
    progress(header.decoded_size);
  }
  error.clear();
  return true;
}

bool DecodePayloadBody(const PayloadReader& reader, std::vector<std::uint8_t>* buffer,
                       ErrorCode& error) {
  PayloadBodyHeader header;
  if (!ReadPayloadBodyHeader(reader, &header, error)) {
    return false;
  }
  const std::size_t old_size = buffer->size();
  try {
    // Growing by U value-initialised bytes; the decoder overwrites them all.
    buffer->resize(old_size + header.OutputSize());
  } catch (const std::bad_alloc&) {
    return Fail(kOutOfMemory, error);
  } catch (const std::length_error&) {
    return Fail(kOutOfMemory, error);
  }
  if (!DecodePayloadBodyInto(header, buffer->data() + old_size, nullptr, error)) {
    // Give the U bytes back now: the caller may retry while still holding
    // the buffer, and a retry allocates them again.
    buffer->resize(old_size);
    buffer->shrink_to_fit();
    return false;
  }
  return true;
}

}  // namespace zevrino::desktop::installer
