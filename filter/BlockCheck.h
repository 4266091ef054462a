#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "filter/BlockLists.h"

namespace harbinel::filter {

// What the block decision says about the page at one address.
struct PageVerdict {
  std::string normalisedAddress;  // changeURL of the address
  std::string host;               // its host text, the unit the lists hold
  std::int32_t position = -1;     // readfromdmn's answer: -1 when no list holds the host

  bool blocked() const { return position != -1; }
};

// Normalises the main frame's address, cuts out its host text and asks the block lists.
PageVerdict judgePage(std::string_view mainFrameAddress, BlockLists& lists);

// The check of every page the browser shows, judged each time the page reports a title and
// when its load is committed (a page without a title must not escape), refusing each page at
// most once per load.
//
// A refusal runs a modal alert inside the report that found it, and the reports that arrive
// meanwhile or right after it (a title delivered late, the commit of a page that replaced the
// refused one) still see the refused page, because the web view only moves on once the home
// load it was asked for commits. So once a page is refused, nothing is judged again until a
// load commits after the way home was asked for.
class BlockCheck {
 public:
  explicit BlockCheck(BlockLists& lists) : lists_(lists) {}

  // The normalised address to refuse, or nothing when the page is allowed or is being refused
  // already. A page returned here counts as refused from now on.
  std::optional<std::string> pageToRefuse(std::string_view mainFrameAddress);

  // Call just before asking the web view for the home address after a refusal.
  void homeRequested() { homeRequested_ = true; }

  // Call when a load commits, before judging it.
  void loadCommitted();

 private:
  BlockLists& lists_;
  bool refusing_ = false;
  bool homeRequested_ = false;
};

}  // namespace harbinel::filter
