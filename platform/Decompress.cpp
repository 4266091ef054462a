#include "platform/Decompress.h"

#include <gio/gio.h>
#include <lzma.h>

#include <array>
#include <cstdint>
#include <memory>

namespace harbinel::platform {
namespace {

constexpr std::size_t kChunk = 64 * 1024;
// xz -9 needs 65 MiB to decompress; anything asking far more is not a list.
constexpr std::uint64_t kXzMemoryLimit = 256 * 1024 * 1024;

constexpr std::string_view kGzipMagic = "\x1F\x8B";
constexpr std::string_view kXzMagic{
    "\xFD"
    "7zXZ\0",
    6};

Decompressed failed(std::string why) {
  return {{}, std::move(why)};
}

Decompressed tooLarge(std::size_t largest) {
  return failed("larger than " + std::to_string(largest / (1024 * 1024)) +
                " MiB once decompressed");
}

struct GObjectUnref {
  void operator()(gpointer object) const { g_object_unref(object); }
};

// One pass per gzip member: "cat a.gz b.gz" is as valid as gzip itself reads it.
Decompressed gunzip(std::string_view bytes, std::size_t largest) {
  const std::unique_ptr<GZlibDecompressor, GObjectUnref> decompressor(
      g_zlib_decompressor_new(G_ZLIB_COMPRESSOR_FORMAT_GZIP));
  GConverter* converter = G_CONVERTER(decompressor.get());
  Decompressed result;
  std::array<char, kChunk> buffer{};
  while (!bytes.empty()) {
    g_converter_reset(converter);
    GConverterResult converted = G_CONVERTER_CONVERTED;
    while (converted != G_CONVERTER_FINISHED) {
      gsize read = 0;
      gsize written = 0;
      GError* error = nullptr;
      converted =
          g_converter_convert(converter, bytes.data(), bytes.size(), buffer.data(), buffer.size(),
                              G_CONVERTER_INPUT_AT_END, &read, &written, &error);
      if (converted == G_CONVERTER_ERROR) {
        const bool cutShort = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_PARTIAL_INPUT);
        std::string why = std::string("damaged gzip data (") + error->message + ")";
        g_error_free(error);
        return failed(cutShort ? "gzip data cut short" : std::move(why));
      }
      if (read == 0 && written == 0 && converted != G_CONVERTER_FINISHED) {
        return failed("gzip data cut short");
      }
      bytes.remove_prefix(read);
      result.bytes.append(buffer.data(), written);
      if (result.bytes.size() > largest) return tooLarge(largest);
    }
  }
  return result;
}

std::string xzProblem(lzma_ret code) {
  switch (code) {
    case LZMA_BUF_ERROR:
      return "xz data cut short";
    case LZMA_MEM_ERROR:
      return "out of memory decompressing xz data";
    case LZMA_MEMLIMIT_ERROR:
      return "xz data that needs more than 256 MiB of memory to decompress";
    default:
      return "damaged xz data";
  }
}

// Concatenated xz streams are read as one, as xz itself reads them.
Decompressed unxz(std::string_view bytes, std::size_t largest) {
  lzma_stream stream = LZMA_STREAM_INIT;
  if (const auto started = lzma_stream_decoder(&stream, kXzMemoryLimit, LZMA_CONCATENATED);
      started != LZMA_OK) {
    return failed(xzProblem(started));
  }
  const std::unique_ptr<lzma_stream, decltype(&lzma_end)> ending(&stream, lzma_end);
  stream.next_in = reinterpret_cast<const std::uint8_t*>(bytes.data());
  stream.avail_in = bytes.size();
  Decompressed result;
  std::array<std::uint8_t, kChunk> buffer{};
  for (;;) {
    stream.next_out = buffer.data();
    stream.avail_out = buffer.size();
    const lzma_ret code = lzma_code(&stream, LZMA_FINISH);
    result.bytes.append(reinterpret_cast<const char*>(buffer.data()),
                        buffer.size() - stream.avail_out);
    if (result.bytes.size() > largest) return tooLarge(largest);
    if (code == LZMA_STREAM_END) return result;
    if (code != LZMA_OK) return failed(xzProblem(code));
  }
}

}  // namespace

Decompressed decompress(std::string_view bytes, std::size_t largest) {
  if (bytes.starts_with(kGzipMagic)) return gunzip(bytes, largest);
  if (bytes.starts_with(kXzMagic)) return unxz(bytes, largest);
  if (bytes.size() > largest) return tooLarge(largest);
  return {std::string(bytes), {}};
}

}  // namespace harbinel::platform
