#pragma once
// A read-only, seekable std::istream over bytes that the caller keeps alive,
// so that compiled-in catalogs and catalog files go through the same reader
// without copying.

#include <cstddef>
#include <istream>
#include <streambuf>

namespace zevrino::desktop::i18n::gettext {

class memory_streambuf : public std::streambuf {
 public:
  memory_streambuf(const void* data, std::size_t size);

 protected:
  pos_type seekoff(off_type offset, std::ios_base::seekdir direction,
                   std::ios_base::openmode which) override;
  pos_type seekpos(pos_type position, std::ios_base::openmode which) override;
};

class memory_istream : public std::istream {
 public:
  memory_istream(const void* data, std::size_t size) : std::istream(nullptr), buffer_(data, size) {
    rdbuf(&buffer_);
  }

 private:
  memory_streambuf buffer_;
};

}  // namespace zevrino::desktop::i18n::gettext
