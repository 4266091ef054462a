#include "filter/BlockCheck.h"

#include "filter/Address.h"

namespace harbinel::filter {

PageVerdict judgePage(std::string_view mainFrameAddress, BlockLists& lists) {
  PageVerdict verdict;
  verdict.normalisedAddress = changeURL(mainFrameAddress);
  verdict.host = std::string(hostText(verdict.normalisedAddress));
  verdict.position = lists.readfromdmn(verdict.host);
  return verdict;
}

std::optional<std::string> BlockCheck::pageToRefuse(std::string_view mainFrameAddress) {
  if (refusing_) return std::nullopt;
  PageVerdict verdict = judgePage(mainFrameAddress, lists_);
  if (!verdict.blocked()) return std::nullopt;
  refusing_ = true;
  homeRequested_ = false;
  return std::move(verdict.normalisedAddress);
}

void BlockCheck::loadCommitted() {
  if (!homeRequested_) return;
  refusing_ = false;
  homeRequested_ = false;
}

}  // namespace harbinel::filter
