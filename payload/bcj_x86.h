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

// Whole-buffer helpers: start position 0, state 0.
void BcjX86Decode(std::uint8_t* data, std::size_t size);
void BcjX86Encode(std::uint8_t* data, std::size_t size);

}  // namespace zevrino::desktop::installer
