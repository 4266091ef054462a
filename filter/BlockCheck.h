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
  std::string host;               // the host the lists were asked about
  Decision decision;              // what the lists and the settings say about it

  bool blocked() const { return decision.refused(); }
};

// Normalises the main frame's address and asks the block lists about it.
PageVerdict judgePage(std::string_view mainFrameAddress, BlockLists& lists);

// The check of every page the browser shows: judged each time the page reports a title and
// when its load commits (so a page without a title cannot escape), and refused at most once
// per load.
//
// The web view's reports do not keep step with the refusal: the alert runs a nested main loop
// inside the report that found the page, and after it the refused page can still report a late
// title or even its commit while the home load that replaces it is only being asked for. So
// after a refusal nothing is judged until the home load (or any later one) has started and
// then committed.
class BlockCheck {
 public:
  explicit BlockCheck(BlockLists& lists) : lists_(lists) {}

  // Each report gives the main frame's address as it stands and returns the normalised
  // address to refuse, or nothing. A page returned counts as refused from then on.
  void loadStarted();
  std::optional<std::string> loadCommitted(std::string_view mainFrameAddress);
  std::optional<std::string> titleReceived(std::string_view mainFrameAddress);

  // A load ended (finished, failed or refused). When the home load asked for after a refusal
  // ends without having committed, the refused page may still be in view: judging resumes at
  // once, so it cannot stay there unjudged.
  std::optional<std::string> loadEnded(std::string_view mainFrameAddress);

  // Call just before asking the web view for the home address after a refusal.
  void homeRequested();

 private:
  enum class Stage { Judging, Refusing, AwaitingStart, AwaitingCommit };

  std::optional<std::string> judge(std::string_view mainFrameAddress);

  BlockLists& lists_;
  Stage stage_ = Stage::Judging;
};

}  // namespace harbinel::filter
