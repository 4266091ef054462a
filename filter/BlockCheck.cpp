#include "filter/BlockCheck.h"

#include "filter/Address.h"

namespace harbinel::filter {

PageVerdict judgePage(std::string_view mainFrameAddress, BlockLists& lists) {
  PageVerdict verdict;
  verdict.normalisedAddress = changeURL(mainFrameAddress);
  verdict.decision = lists.decide(mainFrameAddress);
  verdict.host = verdict.decision.host;
  return verdict;
}

void BlockCheck::loadStarted() {
  if (stage_ == Stage::AwaitingStart) stage_ = Stage::AwaitingCommit;
}

std::optional<std::string> BlockCheck::loadCommitted(std::string_view mainFrameAddress) {
  if (stage_ == Stage::AwaitingCommit) stage_ = Stage::Judging;
  return judge(mainFrameAddress);
}

std::optional<std::string> BlockCheck::titleReceived(std::string_view mainFrameAddress) {
  return judge(mainFrameAddress);
}

std::optional<std::string> BlockCheck::loadEnded(std::string_view mainFrameAddress) {
  if (stage_ == Stage::AwaitingCommit) stage_ = Stage::Judging;
  return judge(mainFrameAddress);
}

void BlockCheck::homeRequested() {
  stage_ = Stage::AwaitingStart;
}

std::optional<std::string> BlockCheck::judge(std::string_view mainFrameAddress) {
  if (stage_ != Stage::Judging) return std::nullopt;
  PageVerdict verdict = judgePage(mainFrameAddress, lists_);
  if (!verdict.blocked()) return std::nullopt;
  stage_ = Stage::Refusing;
  return std::move(verdict.normalisedAddress);
}

}  // namespace harbinel::filter
