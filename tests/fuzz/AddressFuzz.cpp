// Address operations must take any text: no crash, no read out of bounds, and the results keep
// the promises the block check and the loader rely on.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "filter/Address.h"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  const std::string normalised = harbinel::filter::changeURL(text);
  require(normalised.size() <= text.size());  // it only ever cuts
  const std::string_view host = harbinel::filter::hostText(normalised);
  require(host.find('/') == std::string_view::npos);
  require(normalised.substr(0, host.size()) == host);

  // Which texts get the prefix is CompleteUrlTest's table; here: it is added at most once.
  const std::string completed = harbinel::filter::completeURL(text);
  require(completed == text || completed == "http://" + std::string(text));
  require(harbinel::filter::completeURL(completed) == completed);

  // The list index finds entries it takes for normalised through the plain table alone.
  const std::string site = harbinel::filter::siteHost(text);
  if (harbinel::filter::isNormalisedHost(text)) require(site == text);
  for (const std::string_view name : harbinel::filter::namesUpward(site)) {
    require(!name.empty() && site.ends_with(name));
  }
  return 0;
}
