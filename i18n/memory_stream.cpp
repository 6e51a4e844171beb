#include "i18n/memory_stream.h"

namespace zevrino::desktop::i18n::gettext {

memory_streambuf::memory_streambuf(const void* data, std::size_t size) {
  // The get area is never written through; std::streambuf just has no const
  // variant.
  char* begin = const_cast<char*>(static_cast<const char*>(data));
  if (begin == nullptr) {
    size = 0;
  }
  setg(begin, begin, begin + size);
}

memory_streambuf::pos_type memory_streambuf::seekoff(off_type offset,
                                                     std::ios_base::seekdir direction,
                                                     std::ios_base::openmode which) {
  if ((which & std::ios_base::in) == 0) {
    return pos_type(off_type(-1));
  }
  off_type base = 0;
  if (direction == std::ios_base::cur) {
    base = gptr() - eback();
  } else if (direction == std::ios_base::end) {
    base = egptr() - eback();
  }
  const off_type size = egptr() - eback();
  // Compare before adding so that a huge offset cannot overflow.
  if (offset < -base || offset > size - base) {
    return pos_type(off_type(-1));
  }
  setg(eback(), eback() + base + offset, egptr());
  return pos_type(base + offset);
}

memory_streambuf::pos_type memory_streambuf::seekpos(pos_type position,
                                                     std::ios_base::openmode which) {
  return seekoff(off_type(position), std::ios_base::beg, which);
}

}  // namespace zevrino::desktop::i18n::gettext
