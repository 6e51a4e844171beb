#include "i18n/catalog_storage.h"

#include <lzma.h>

#include <algorithm>
#include <cstdint>

namespace zevrino::desktop::i18n::gettext {

bool read_embedded_catalog(const embedded_catalog& row, std::vector<unsigned char>& bytes) {
  if (row.compressed_size == 0) {
    bytes.assign(row.data, row.data + (row.data == nullptr ? 0 : row.size));
    return true;
  }
  std::vector<unsigned char> base;
  const unsigned char* dictionary = row.dictionary;
  std::uint64_t dictionary_size = row.dictionary_size;
  if (row.base != nullptr) {
    if (!read_embedded_catalog(*row.base, base)) {
      return false;
    }
    dictionary = base.data();
    dictionary_size = base.size();
  }
  bytes.resize(static_cast<std::size_t>(row.size));
  if (bytes.empty()) {
    return false;  // the build never compresses an empty catalog
  }
  lzma_options_lzma options{};
  // A match reaches back at most over the preset dictionary and the bytes
  // decoded so far, so the two together are dictionary enough.
  const std::uint64_t reach = row.size + dictionary_size;
  options.dict_size = static_cast<std::uint32_t>(
      std::max<std::uint64_t>(LZMA_DICT_SIZE_MIN, std::min<std::uint64_t>(reach, UINT32_MAX)));
  options.preset_dict = dictionary;
  options.preset_dict_size = static_cast<std::uint32_t>(dictionary_size);
  options.lc = catalog_lzma_lc;
  options.lp = catalog_lzma_lp;
  options.pb = catalog_lzma_pb;
  // LZMA1EXT with the size known decodes exactly `size` bytes and takes the
  // end marker that liblzma's encoder writes after them.
  options.ext_flags = LZMA_LZMA1EXT_ALLOW_EOPM;
  options.ext_size_low = static_cast<std::uint32_t>(row.size);
  options.ext_size_high = static_cast<std::uint32_t>(row.size >> 32);
  const lzma_filter filters[] = {{LZMA_FILTER_LZMA1EXT, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
  std::size_t in_position = 0;
  std::size_t out_position = 0;
  const lzma_ret result = lzma_raw_buffer_decode(filters, nullptr, row.data, &in_position,
                                                 static_cast<std::size_t>(row.compressed_size),
                                                 bytes.data(), &out_position, bytes.size());
  return result == LZMA_OK && out_position == bytes.size();
}

}  // namespace zevrino::desktop::i18n::gettext
