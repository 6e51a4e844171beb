#pragma once
// The x86 branch converter (BCJ): CALL (E8) and JMP (E9) rel32 operands are
// stored as absolute addresses by the encoder, which makes repeated calls to
// one function compress well; the decoder turns them back. This is the
// public-domain LZMA SDK algorithm, byte for byte compatible with liblzma's
// x86 filter at start offset 0.

#include <cstddef>
#include <cstdint>

namespace zevrino::desktop::installer {

// Converts data[0, size) in place. `position` is the stream offset of data[0]
// and `state` the converter's carried state (0 at the stream start); both are
// updated for a following call. Returns the number of bytes processed; the
// last up to 4 bytes of a call may be left unprocessed (they are final only
// when the stream ends there, which is the whole-buffer case used here).
std::size_t BcjX86Convert(std::uint8_t* data, std::size_t size, std::uint32_t* position,
                          std::uint32_t* state, bool encoding);

// Undoes the filter over a buffer that fills front to back, such as a body
// while it is being decoded: each call converts what the bytes there so far
// allow and says how many of them are final.
class BcjX86StreamDecoder {
 public:
  // The converter decides on a byte only once it has seen the 4 after it, so
  // up to this many bytes before the end of what is there stay undecided.
  static constexpr std::size_t kLookahead = 4;

  // data[0, available) is there (available only grows from call to call);
  // converts the part after final_bytes() as far as it can. `complete` says
  // no byte follows, which makes all of them final as they are. Returns
  // final_bytes().
  std::size_t Advance(std::uint8_t* data, std::size_t available, bool complete);

  // The leading bytes that hold their final value.
  std::size_t final_bytes() const { return final_; }

 private:
  std::size_t final_ = 0;
  std::uint32_t position_ = 0;
  std::uint32_t state_ = 0;
};

// Whole-buffer helpers: start position 0, state 0.
void BcjX86Decode(std::uint8_t* data, std::size_t size);
void BcjX86Encode(std::uint8_t* data, std::size_t size);

}  // namespace zevrino::desktop::installer
