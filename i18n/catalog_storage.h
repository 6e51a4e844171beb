#pragma once
// How a compiled-in catalog is stored, and reading its bytes back.
//
// The build stores the catalogs it compiles into the program compressed:
// each row is one raw LZMA1 stream with an end marker (lc=0, lp=0, pb=0:
// short texts in any script gain nothing from literal context or position
// bits), made by i18n/cmake/embed_catalog.py as if a preset dictionary, the
// English catalog, had come just before it. Every catalog has the same
// layout and the same English msgids, so most of each one is a match in
// that dictionary. A regional variant (ar-EG, es-419, fr-CA...) says most
// of what its base language says, so its dictionary is its base's catalog
// instead: the 75 catalogs take 80 KB instead of 89 KB with English alone,
// and 510 KB as they are. Only the catalog that is loaded is ever decoded,
// with the bases it stands on. Rows that tests and tools build from bytes
// in memory are stored as they are.

#include <cstdint>
#include <vector>

namespace zevrino::desktop::i18n::gettext {

// One compiled-in catalog: static, read-only data.
struct embedded_catalog {
  const char* name;  // locale name such as "pt-BR"
  const unsigned char* data;
  std::uint64_t size;  // bytes of the catalog
  // 0: `data` holds the catalog's `size` bytes as they are. Otherwise `data`
  // holds this many bytes of LZMA1 stream that decode to them, with
  // `dictionary` as the stream's preset dictionary.
  std::uint64_t compressed_size = 0;
  const unsigned char* dictionary = nullptr;
  std::uint64_t dictionary_size = 0;
  // When set, the preset dictionary is this row's catalog, decoded, and
  // `dictionary` is not used.
  const embedded_catalog* base = nullptr;
};

// LZMA1 properties of the compressed rows (embed_catalog.py writes them).
constexpr std::uint32_t catalog_lzma_lc = 0;
constexpr std::uint32_t catalog_lzma_lp = 0;
constexpr std::uint32_t catalog_lzma_pb = 0;

// The catalog bytes of `row`: copied, or decoded when the row is compressed.
// False when a compressed row does not decode to exactly `size` bytes.
bool read_embedded_catalog(const embedded_catalog& row, std::vector<unsigned char>& bytes);

}  // namespace zevrino::desktop::i18n::gettext
