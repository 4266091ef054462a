#include "filter/DomainList.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <limits>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "filter/Address.h"
#include "platform/TextCodec.h"

namespace harbinel::filter {
namespace {

// Entry starts are 32-bit offsets into the file's bytes, which keeps the index small; two
// values are kept back: one for the start after the last entry, one so that a slot can say
// "no entry". Larger files are refused like unreadable ones: nothing near this size is a
// domain list.
constexpr std::size_t kMaxBytes = std::numeric_limits<std::uint32_t>::max() - 2;
constexpr std::uint32_t kNoEntry = std::numeric_limits<std::uint32_t>::max();

// ---- Hashing ---------------------------------------------------------------------------------
// A multiply-fold hash over 8-byte words: a few multiplications for a typical host, and good
// enough spread that the top bits choose the slot and the low 32 bits serve as a tag that
// rules out almost every non-matching slot without touching the entry's bytes.

constexpr std::uint64_t kMix0 = 0xa0761d6478bd642fULL;
constexpr std::uint64_t kMix1 = 0xe7037ed1a0b428dbULL;
constexpr std::uint64_t kMix2 = 0x8ebc6af09c88c6e3ULL;
constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

inline std::uint64_t mix(std::uint64_t a, std::uint64_t b) {
  const unsigned __int128 product = static_cast<unsigned __int128>(a) * b;
  return static_cast<std::uint64_t>(product) ^ static_cast<std::uint64_t>(product >> 64);
}

inline std::uint64_t load64(const unsigned char* p) {
  std::uint64_t value;
  std::memcpy(&value, p, sizeof value);
  return value;
}

inline std::uint64_t load32(const unsigned char* p) {
  std::uint32_t value;
  std::memcpy(&value, p, sizeof value);
  return value;
}

struct Digest {
  std::uint64_t hash;
  bool ascii;  // no byte at or above 0x80: well-formed UTF-8 without further checking
};

// Every byte is read at least once (short texts by overlapping loads), so the same pass also
// tells whether the text is plain ASCII.
Digest digest(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  std::uint64_t seed = kMix0 ^ mix(n ^ kMix1, kMix2);
  std::uint64_t a = 0;
  std::uint64_t b = 0;
  std::uint64_t seen = 0;
  if (n > 16) {
    const unsigned char* end = p + n;
    for (; end - p > 16; p += 16) {
      const std::uint64_t x = load64(p);
      const std::uint64_t y = load64(p + 8);
      seen |= x | y;
      seed = mix(x ^ kMix1, y ^ seed);
    }
    a = load64(end - 16);
    b = load64(end - 8);
  } else if (n >= 8) {
    a = load64(p);
    b = load64(p + n - 8);
  } else if (n >= 4) {
    a = load32(p);
    b = load32(p + n - 4);
  } else if (n > 0) {
    a = (std::uint64_t{p[0]} << 16) | (std::uint64_t{p[n / 2]} << 8) | p[n - 1];
    seen = (p[0] | p[n / 2] | p[n - 1]) & 0x80;
  }
  if (n >= 4) seen |= a | b;
  return {mix(kMix1 ^ n, mix(a ^ kMix1, b ^ seed)), (seen & kHighBits) == 0};
}

// ---- Memory ----------------------------------------------------------------------------------
// The index's arrays are as large as the file. Mapped straight from the system they arrive
// zero-filled at no cost, and, asked for huge pages, a few faults map them instead of one per
// 4 KiB page: the difference dominates loading time. Both hold for any size; small lists just
// get small pages.

void* mapZeroedPages(std::size_t bytes) {
  constexpr std::size_t kHugePage = std::size_t{2} << 20;
  if (bytes < kHugePage) {
    void* pages =
        ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (pages == MAP_FAILED) throw std::bad_alloc();
    return pages;
  }
  // Over-map, then cut back to a huge-page-aligned start so that whole huge pages fit inside.
  const std::size_t padded = bytes + kHugePage;
  void* raw = ::mmap(nullptr, padded, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) throw std::bad_alloc();
  char* const rawStart = static_cast<char*>(raw);
  char* const start =
      rawStart + (kHugePage - reinterpret_cast<std::uintptr_t>(raw) % kHugePage) % kHugePage;
  if (start != rawStart) ::munmap(rawStart, static_cast<std::size_t>(start - rawStart));
  const std::size_t tail = static_cast<std::size_t>(rawStart + padded - (start + bytes));
  if (tail != 0) ::munmap(start + bytes, tail);
  ::madvise(start, bytes, MADV_HUGEPAGE);  // only a hint: small pages work as well
  return start;
}

std::size_t roundToPages(std::size_t bytes) {
  static const auto kPage = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  return (bytes + kPage - 1) / kPage * kPage;
}

// A fixed-size array of trivially copyable values, zero-filled.
template <typename T>
class PageArray {
 public:
  PageArray() = default;
  explicit PageArray(std::size_t count) : count_(count), mapped_(roundToPages(count * sizeof(T))) {
    if (mapped_ != 0) data_ = static_cast<T*>(mapZeroedPages(mapped_));
  }
  ~PageArray() {
    if (data_ != nullptr) ::munmap(data_, mapped_);
  }
  PageArray(PageArray&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)),
        count_(std::exchange(other.count_, 0)),
        mapped_(std::exchange(other.mapped_, 0)) {}
  PageArray& operator=(PageArray&& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(count_, other.count_);
    std::swap(mapped_, other.mapped_);
    return *this;
  }

  T* data() { return data_; }
  const T* data() const { return data_; }
  std::size_t size() const { return count_; }
  T& operator[](std::size_t i) { return data_[i]; }
  const T& operator[](std::size_t i) const { return data_[i]; }
  // Forgets the values past `count`; their memory stays until the array goes.
  void truncate(std::size_t count) { count_ = std::min(count, count_); }
  std::size_t memoryUsage() const { return mapped_; }

 private:
  T* data_ = nullptr;
  std::size_t count_ = 0;
  std::size_t mapped_ = 0;
};

// ---- Reading ---------------------------------------------------------------------------------

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// Reads `count` bytes or up to the end of the file; the number read, or nothing on an error.
std::optional<std::size_t> readUpTo(int fd, char* into, std::size_t count) {
  std::size_t done = 0;
  while (done < count) {
    const ssize_t got = ::read(fd, into + done, count - done);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    done += static_cast<std::size_t>(got);
  }
  return done;
}

// The rest of a file that turned out longer than it said, or nothing on an error.
std::optional<std::string> readRest(int fd, std::size_t sizeSoFar) {
  std::string rest;
  std::array<char, 65536> chunk;
  for (;;) {
    const auto got = readUpTo(fd, chunk.data(), chunk.size());
    if (!got || sizeSoFar + rest.size() + *got > kMaxBytes) return std::nullopt;
    if (*got == 0) return rest;
    rest.append(chunk.data(), *got);
  }
}

// The whole file, or nothing when it cannot be opened or read (a folder fails at the read).
// The size the file reports is only a first guess: it may have grown, or report no size.
std::optional<PageArray<char>> readWholeFile(const std::filesystem::path& path) {
  const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) return std::nullopt;
  struct stat status {};
  if (::fstat(file.get(), &status) != 0) return std::nullopt;
  const auto reported = static_cast<std::size_t>(std::max<off_t>(status.st_size, 0));
  if (reported > kMaxBytes) return std::nullopt;
  PageArray<char> bytes(reported);
  const auto got = readUpTo(file.get(), bytes.data(), reported);
  if (!got) return std::nullopt;
  if (*got < reported) {
    bytes.truncate(*got);
    return bytes;
  }
  const auto rest = readRest(file.get(), reported);
  if (!rest) return std::nullopt;
  if (rest->empty()) return bytes;
  PageArray<char> whole(reported + rest->size());
  std::copy_n(bytes.data(), reported, whole.data());
  std::copy_n(rest->data(), rest->size(), whole.data() + reported);
  return whole;
}

}  // namespace

// ---- The index -------------------------------------------------------------------------------

// The file's bytes, the start of every entry, and an open-addressing table (linear probing,
// at most half full) that holds the position of the first occurrence of every distinct,
// well-formed entry. Per entry: 4 bytes of start plus 2 slots of 8 bytes.
struct DomainList::Index {
  struct Slot {
    std::uint32_t tag;
    std::uint32_t entryPlusOne;  // 0: a free slot, so that zero-filled memory is an empty table
  };

  PageArray<char> bytes;
  // Entry i is bytes [starts[i], starts[i + 1] - 1): the line feed between them is not part
  // of either. The last start is one past a virtual line feed after the end of the file.
  PageArray<std::uint32_t> starts;
  PageArray<Slot> slots;
  // The host rule compares normalised entries. Entries already in that form (nearly all of a
  // list made by harbinel-lists) are found through the table above; the others are indexed
  // again, as a list of their normalised forms, beside the position each came from.
  std::unique_ptr<Index> renamed;
  std::vector<std::uint32_t> renamedPositions;

  // `withRenamed`: also index the normalised forms (not for the normalised forms themselves).
  explicit Index(PageArray<char> text, bool withRenamed = true) : bytes(std::move(text)) {
    splitLines();
    std::string renamedText;
    buildTable(withRenamed ? &renamedText : nullptr);
    if (!renamedPositions.empty()) {
      PageArray<char> renamedBytes(renamedText.size() - 1);  // no line feed after the last
      std::copy_n(renamedText.data(), renamedBytes.size(), renamedBytes.data());
      renamed = std::make_unique<Index>(std::move(renamedBytes), false);
    }
  }

  // The position of the first entry whose normalised form is `host`, or kNoEntry.
  std::uint32_t lookUpHost(std::string_view host, std::uint64_t hash) const {
    // An entry equal to a normalised host is in normalised form itself.
    std::uint32_t position = lookUp(host, hash);
    if (renamed) {
      const std::uint32_t found = renamed->lookUp(host, hash);
      if (found != kNoEntry) position = std::min(position, renamedPositions[found]);
    }
    return position;
  }

  std::size_t size() const { return starts.size() - 1; }

  std::size_t memoryUsage() const {
    return sizeof(Index) + bytes.memoryUsage() + starts.memoryUsage() + slots.memoryUsage() +
           renamedPositions.capacity() * sizeof(std::uint32_t) +
           (renamed ? renamed->memoryUsage() : 0);
  }

  std::string_view entry(std::size_t i) const {
    return {bytes.data() + starts[i], starts[i + 1] - 1 - starts[i]};
  }

  std::size_t homeSlot(std::uint64_t hash) const {
    return static_cast<std::size_t>((static_cast<unsigned __int128>(hash) * slots.size()) >> 64);
  }

  std::size_t nextSlot(std::size_t slot) const { return slot + 1 == slots.size() ? 0 : slot + 1; }

  static std::uint32_t tagOf(std::uint64_t hash) { return static_cast<std::uint32_t>(hash); }

  // The entry's position, or kNoEntry.
  std::uint32_t lookUp(std::string_view text, std::uint64_t hash) const {
    const std::uint32_t tag = tagOf(hash);
    for (std::size_t s = homeSlot(hash);; s = nextSlot(s)) {
      const Slot& slot = slots[s];
      if (slot.entryPlusOne == 0) return kNoEntry;
      if (slot.tag == tag && entry(slot.entryPlusOne - 1) == text) return slot.entryPlusOne - 1;
    }
  }

  template <typename Visit>
  void forEachLineFeed(Visit visit) const {
    const char* const begin = bytes.data();
    const char* const end = begin + bytes.size();
    for (const char* p = begin; p != end; ++p) {
      p = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
      if (p == nullptr) return;
      visit(static_cast<std::size_t>(p - begin));
    }
  }

  void splitLines() {
    std::size_t lineFeeds = 0;
    forEachLineFeed([&](std::size_t) { ++lineFeeds; });
    starts = PageArray<std::uint32_t>(lineFeeds + 2);
    std::size_t next = 1;  // starts[0] is 0 already
    forEachLineFeed([&](std::size_t at) { starts[next++] = static_cast<std::uint32_t>(at + 1); });
    starts[next] = static_cast<std::uint32_t>(bytes.size() + 1);
  }

  // Entries go in in file order, so the first occurrence of a text is the one kept. The
  // table is far larger than the caches, so the slot of an entry a few places ahead is
  // fetched while the current one goes in.
  void buildTable(std::string* renamedText) {
    const std::size_t count = size();
    slots = PageArray<Slot>(2 * count);
    constexpr std::size_t kAhead = 16;
    std::array<Digest, kAhead> ahead;
    const auto prepare = [&](std::size_t i) {
      ahead[i % kAhead] = digest(entry(i));
      __builtin_prefetch(&slots[homeSlot(ahead[i % kAhead].hash)], 1);
    };
    for (std::size_t i = 0; i < std::min(count, kAhead); ++i) prepare(i);
    for (std::size_t i = 0; i < count; ++i) {
      const Digest current = ahead[i % kAhead];
      if (i + kAhead < count) prepare(i + kAhead);
      if (current.ascii || platform::isValidUtf8(entry(i))) {
        insert(i, current.hash);
        if (renamedText != nullptr && !isNormalisedHost(entry(i))) addRenamed(i, *renamedText);
      }
    }
  }

  void addRenamed(std::size_t position, std::string& renamedText) {
    const std::string host = siteHost(entry(position));
    if (host.empty() || host == entry(position)) return;
    renamedText += host;
    renamedText += '\n';
    renamedPositions.push_back(static_cast<std::uint32_t>(position));
  }

  void insert(std::size_t position, std::uint64_t hash) {
    const std::string_view text = entry(position);
    const std::uint32_t tag = tagOf(hash);
    for (std::size_t s = homeSlot(hash);; s = nextSlot(s)) {
      Slot& slot = slots[s];
      if (slot.entryPlusOne == 0) {
        slot = {tag, static_cast<std::uint32_t>(position + 1)};
        return;
      }
      if (slot.tag == tag && entry(slot.entryPlusOne - 1) == text) return;  // a later duplicate
    }
  }
};

DomainList::DomainList() = default;
DomainList::~DomainList() = default;
DomainList::DomainList(DomainList&&) noexcept = default;
DomainList& DomainList::operator=(DomainList&&) noexcept = default;

// A list too large for memory blocks nothing, like an unreadable one, instead of ending the
// program.
DomainList DomainList::fromFile(const std::filesystem::path& path) {
  DomainList list;
  try {
    std::optional<PageArray<char>> bytes = readWholeFile(path);
    if (bytes) list.index_ = std::make_unique<Index>(std::move(*bytes));
  } catch (const std::bad_alloc&) {
    list.index_.reset();
  }
  return list;
}

DomainList DomainList::fromText(std::string text) {
  DomainList list;
  if (text.size() > kMaxBytes) return list;
  try {
    PageArray<char> bytes(text.size());
    std::copy(text.begin(), text.end(), bytes.data());
    list.index_ = std::make_unique<Index>(std::move(bytes));
  } catch (const std::bad_alloc&) {
    list.index_.reset();
  }
  return list;
}

std::int32_t DomainList::find(std::string_view host) const {
  if (!index_) return -1;
  const std::uint32_t position = index_->lookUp(host, digest(host).hash);
  if (position == kNoEntry) return -1;
  // Positions past the 32-bit range cannot be told, but the host is still found.
  return static_cast<std::int32_t>(
      std::min<std::uint32_t>(position, std::numeric_limits<std::int32_t>::max()));
}

std::int32_t DomainList::findHost(std::string_view normalisedHost) const {
  if (!index_ || normalisedHost.empty()) return -1;
  const std::uint32_t position = index_->lookUpHost(normalisedHost, digest(normalisedHost).hash);
  if (position == kNoEntry) return -1;
  return static_cast<std::int32_t>(
      std::min<std::uint32_t>(position, std::numeric_limits<std::int32_t>::max()));
}

void DomainList::prefetchHost(std::string_view normalisedHost) const {
  if (!index_ || index_->slots.size() == 0) return;
  __builtin_prefetch(&index_->slots[index_->homeSlot(digest(normalisedHost).hash)]);
}

std::size_t DomainList::size() const {
  return index_ ? index_->size() : 0;
}

std::string_view DomainList::entry(std::size_t position) const {
  return index_->entry(position);
}

std::size_t DomainList::memoryUsage() const {
  return index_ ? index_->memoryUsage() : 0;
}

std::int32_t firstPosition(const std::vector<std::string>& list, std::string_view host) {
  const auto found = std::find(list.begin(), list.end(), host);
  if (found == list.end()) return -1;
  return static_cast<std::int32_t>(
      std::min<std::ptrdiff_t>(found - list.begin(), std::numeric_limits<std::int32_t>::max()));
}

}  // namespace harbinel::filter
