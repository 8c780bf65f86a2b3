// Case-insensitive comparison as the runtime's _stricmp does it in the "C"
// locale: only ASCII letters are folded, whatever the machine's locale.
#ifndef WIZARDSETUP_PLATFORM_ASCII_CASE_H_
#define WIZARDSETUP_PLATFORM_ASCII_CASE_H_

namespace platform {

inline int FoldAsciiCase(unsigned char c) {
  return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c;
}

/// Negative, zero or positive, as `left` sorts before, equal to or after
/// `right` with ASCII letters folded to lower case.
inline int CompareIgnoringAsciiCase(const char* left, const char* right) {
  for (;; ++left, ++right) {
    const int difference = FoldAsciiCase(static_cast<unsigned char>(*left)) -
                           FoldAsciiCase(static_cast<unsigned char>(*right));
    if (difference != 0 || *left == '\0') return difference;
  }
}

}  // namespace platform

#endif  // WIZARDSETUP_PLATFORM_ASCII_CASE_H_
