#include "input_text.h"

#include <cstring>

#include "input.h"

namespace {

enum class Encoding { unknown, bytes, utf16 };

Encoding encoding;
int odd_byte;  // the first half of a UTF-16 unit whose second half is still to come, or -1

long read_more(const Streams& streams, const Machine& machine, char* to, size_t size) {
  return machine.read_some(streams.in, to, size);
}

// Narrows the UTF-16 units in to[0, have) in place; returns the characters made.
size_t narrow(char* to, size_t have) {
  size_t made = 0;
  for (size_t i = 0; i + 1 < have; i += 2) {
    const unsigned unit = static_cast<unsigned char>(to[i]) |
                          static_cast<unsigned>(static_cast<unsigned char>(to[i + 1])) << 8;
    to[made++] = unit < 0x80 ? static_cast<char>(unit) : '?';
  }
  odd_byte = have % 2 != 0 ? static_cast<unsigned char>(to[have - 1]) : -1;
  return made;
}

// Reads UTF-16 until at least one character is made, or the input ends.
long read_wide(const Streams& streams, const Machine& machine, char* to, size_t size) {
  for (;;) {
    size_t have = 0;
    if (odd_byte >= 0) to[have++] = static_cast<char>(odd_byte);
    const long got = read_more(streams, machine, to + have, size - have);
    if (got <= 0) return got;
    const size_t made = narrow(to, have + static_cast<size_t>(got));
    if (made > 0) return static_cast<long>(made);
  }
}

// Whether the n bytes at text could still be the start of a byte-order mark.
bool may_be_mark(const char* text, size_t n) {
  return (n < 2 && std::memcmp(text, "\xff\xfe", n) == 0) ||
         (n < 3 && std::memcmp(text, "\xef\xbb\xbf", n) == 0);
}

// The first read, which tells the encoding by its byte-order mark: a pipe may hand over
// the mark's bytes one at a time.
long read_first(const Streams& streams, const Machine& machine, char* to, size_t size) {
  long got = read_more(streams, machine, to, size);
  while (got > 0 && may_be_mark(to, static_cast<size_t>(got))) {
    const long more = read_more(streams, machine, to + got, size - static_cast<size_t>(got));
    if (more <= 0) break;
    got += more;
  }
  encoding = Encoding::bytes;
  if (got >= 2 && std::memcmp(to, "\xff\xfe", 2) == 0) {
    encoding = Encoding::utf16;
    const size_t made = narrow(to + 2, static_cast<size_t>(got) - 2);
    std::memmove(to, to + 2, made);
    return made > 0 ? static_cast<long>(made) : read_wide(streams, machine, to, size);
  }
  if (got >= 3 && std::memcmp(to, "\xef\xbb\xbf", 3) == 0) {
    got -= 3;
    std::memmove(to, to + 3, static_cast<size_t>(got));
    if (got == 0) got = read_more(streams, machine, to, size);
  }
  return got;
}

}  // namespace

void start_input_text() {
  encoding = Encoding::unknown;
  odd_byte = -1;
}

long read_text(const Streams& streams, const Machine& machine, char* to, size_t size) {
  if (encoding == Encoding::bytes) return read_more(streams, machine, to, size);
  if (encoding == Encoding::utf16) return read_wide(streams, machine, to, size);
  return read_first(streams, machine, to, size);
}
