#pragma once
// SHA-1 (FIPS 180-4). Uses the x86 SHA extensions when the processor has them
// (checked once with cpuid), else a portable implementation; both give the
// same digest.

#include <cstddef>
#include <cstdint>

namespace zevrino::desktop::installer {

constexpr std::size_t kSha1DigestSize = 20;

class Sha1 {
 public:
  Sha1();
  void Update(const void* data, std::size_t size);
  // Writes the digest of everything passed to Update. The object must not be
  // updated afterwards without Reset.
  void Final(std::uint8_t out[kSha1DigestSize]);
  void Reset();

 private:
  std::uint32_t state_[5];
  std::uint64_t length_ = 0;  // bytes hashed so far
  std::uint8_t block_[64];
  std::size_t block_used_ = 0;
};

void Sha1Digest(const void* data, std::size_t size, std::uint8_t out[kSha1DigestSize]);

namespace sha1_internal {
// Compress `blocks` whole 64-byte blocks into state. Exposed so that tests can
// compare the two implementations; HasShaExtensions() says whether the
// hardware one may be called.
void CompressPortable(std::uint32_t state[5], const std::uint8_t* data, std::size_t blocks);
void CompressShaNi(std::uint32_t state[5], const std::uint8_t* data, std::size_t blocks);
bool HasShaExtensions();
}  // namespace sha1_internal

}  // namespace zevrino::desktop::installer
