#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace harbinel::filter {

// One domain list: the pieces of a text file split at every line feed, kept exactly as they
// are (empty pieces, trailing spaces and carriage returns included), indexed once so that the
// position of the first entry equal to a host text costs one hash look-up.
//
// The file is read as UTF-8. A line that is not well-formed UTF-8 stays an entry (positions
// do not shift) but can never match: host texts are always well-formed text.
class DomainList {
 public:
  DomainList();
  ~DomainList();
  DomainList(DomainList&&) noexcept;
  DomainList& operator=(DomainList&&) noexcept;

  // A missing or unreadable file gives an empty list.
  static DomainList fromFile(const std::filesystem::path& path);
  static DomainList fromText(std::string text);

  // The 0-based position of the first entry equal to `host`, or -1.
  std::int32_t find(std::string_view host) const;
  // The 0-based position of the first entry that names `normalisedHost` once normalised as a
  // host (filter/Address: normaliseHost of addressHostPart), or -1. The empty host is never
  // named.
  std::int32_t findHost(std::string_view normalisedHost) const;
  // Starts fetching what findHost(normalisedHost) will read, so that the look-ups of several
  // names overlap their waits for memory instead of queueing them.
  void prefetchHost(std::string_view normalisedHost) const;

  std::size_t size() const;
  std::string_view entry(std::size_t position) const;
  // Bytes held by the list and its index (for the memory budget).
  std::size_t memoryUsage() const;

 private:
  struct Index;
  std::unique_ptr<Index> index_;
};

// The first position of `host` in a plain list, or -1 (used for the parent's short list).
std::int32_t firstPosition(const std::vector<std::string>& list, std::string_view host);

}  // namespace harbinel::filter
