#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace harbinel::platform {

struct Decompressed {
  std::string bytes;
  std::string error;  // empty on success; otherwise what is wrong with the data

  bool ok() const { return error.empty(); }
};

// The bytes as they were before compression. gzip and xz data, told apart by their first
// bytes whatever the file was called, are decompressed; anything else is returned unchanged.
// Damaged or cut-short data, and data that would grow past `largest` bytes, are errors: a
// bad download must never pass for a short list.
Decompressed decompress(std::string_view bytes, std::size_t largest);

}  // namespace harbinel::platform
