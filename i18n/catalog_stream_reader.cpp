// load_catalog over a seekable stream: catalog files opened for binary
// reading, in the catalog directory mode. Kept apart from the reader itself
// so that the installer, which reads only compiled-in catalogs, links no
// stream code (libstdc++'s streams bring its whole locale machinery).

#include <istream>

#include "i18n/catalog_reader.h"
#include "i18n/catalog_source.h"

namespace zevrino::desktop::i18n::gettext {

namespace {

// Bounds-checked reads from a stream of known size: the stream's bytes from
// its position on entry to its end.
class stream_source : public catalog_source {
 public:
  explicit stream_source(std::istream& in) : in_(in) {
    const std::istream::pos_type start = in_.tellg();
    if (start == std::istream::pos_type(-1) || !in_.seekg(0, std::ios_base::end)) {
      return;
    }
    const std::istream::pos_type end = in_.tellg();
    if (end == std::istream::pos_type(-1) || end < start) {
      return;
    }
    start_ = start;
    size_ = static_cast<std::uint64_t>(end - start);
    valid_ = true;
  }

  bool read(std::uint64_t offset, std::uint64_t length, void* out) override {
    if (!valid_ || offset > size_ || length > size_ - offset) {
      return false;
    }
    if (!in_.seekg(start_ + static_cast<std::streamoff>(offset))) {
      return false;
    }
    if (length == 0) {
      return true;
    }
    in_.read(static_cast<char*>(out), static_cast<std::streamsize>(length));
    return static_cast<std::uint64_t>(in_.gcount()) == length;
  }

 private:
  std::istream& in_;
  std::istream::pos_type start_ = 0;
  std::uint64_t size_ = 0;
  bool valid_ = false;
};

}  // namespace

bool load_catalog(std::istream& in, translation_table& table, plural_forms& rule) {
  stream_source source(in);
  return load_catalog(source, table, rule);
}

}  // namespace zevrino::desktop::i18n::gettext
