#include "wrapping.h"

#include <cstring>

namespace {

const char kIndent[] = "  ";
const int kIndentWidth = 2;

// How much of text to put on a line with room columns left, without the ", " or the
// space the break takes; 0 when no break fits.
int break_in(const char* text, int room) {
  int comma = 0;
  int space = 0;
  for (int i = 1; i <= room && text[i - 1] != '\0'; i++) {
    if (text[i] != ' ') continue;
    space = i;
    if (text[i - 1] == ',') comma = i;
  }
  return comma * 3 >= room * 2 ? comma : space;
}

}  // namespace

int print_wrapped(FILE* out, int column, const char* text) {
  int length = static_cast<int>(std::strlen(text));
  while (column + length > kLineWidth) {
    const int taken = break_in(text, kLineWidth - column);
    if (taken == 0) break;  // a word longer than the room: no cut inside it
    std::fwrite(text, 1, static_cast<size_t>(taken), out);
    std::fprintf(out, "\n%s", kIndent);
    column = kIndentWidth;
    text += taken + 1;
    length -= taken + 1;
  }
  std::fputs(text, out);
  return column + length;
}

int print_part(FILE* out, int column, const char* part) {
  const int length = static_cast<int>(std::strlen(part));
  if (column + 2 + length <= kLineWidth) {
    std::fputs(", ", out);
    return print_wrapped(out, column + 2, part);
  }
  std::fprintf(out, ",\n%s", kIndent);
  return print_wrapped(out, kIndentWidth, part);
}
