#pragma once
// Substring search with 1-based positions (Boyer-Moore-Horspool).
#include <cstddef>
#include <string_view>

// Position (1-based) of the first occurrence of pattern in source at or after
// startPos, or -1; also -1 when either is empty or startPos is below 1.
// Without caseSensitive, the ASCII letters match either case; other bytes
// (UTF-8 sequences included) match only themselves.
std::ptrdiff_t SearchText(std::string_view source, std::string_view pattern, bool caseSensitive,
                          std::ptrdiff_t startPos);
