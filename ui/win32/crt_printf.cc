// The program formats with the system C runtime's printf (msvcrt) rather than
// the larger C99 one that the C++ headers of mingw select: the messages use
// only %s, %d and %X, which both format alike.
#include <cstdarg>
#include <cstddef>

extern "C" {

// The names below are the C runtime's own, so they keep its spelling.
// NOLINTBEGIN(bugprone-reserved-identifier,readability-identifier-naming)

// From msvcrt.dll: _vsnprintf writes at most count bytes and returns -1 when
// the text did not fit (without terminating it).
int __cdecl _vsnprintf(char* buffer, size_t count, const char* format, va_list args);

// As C99 vsnprintf, but for the length of a text that did not fit: the
// result is always terminated within size bytes, and the return value is the
// text's length when it fit, and size or more when it was cut. The program
// only ever asks whether a text fit; measuring it exactly would take the C
// runtime's _vscprintf, whose stand-in for older systems costs a writable
// section of its own.
int __cdecl __mingw_vsnprintf(char* buffer, size_t size, const char* format, va_list args) {
  if (size == 0) return 1;
  int length = _vsnprintf(buffer, size - 1, format, args);
  buffer[size - 1] = '\0';
  if (length < 0 || static_cast<size_t>(length) >= size) return static_cast<int>(size);
  buffer[length] = '\0';
  return length;
}

int __cdecl __mingw_snprintf(char* buffer, size_t size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int length = __mingw_vsnprintf(buffer, size, format, args);
  va_end(args);
  return length;
}

// NOLINTEND(bugprone-reserved-identifier,readability-identifier-naming)

}  // extern "C"
