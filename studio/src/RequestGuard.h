// Who the studio answers. It opens a port on the user's machine, so:
// - every request must be addressed to the address it serves (its `Host`), so
//   that a page on another site cannot reach it by pointing a name of its own
//   at 127.0.0.1 (DNS rebinding);
// - a request that changes something must come from the studio's own page:
//   the page's origin in `Origin`, and the token the page was served with in
//   `X-Studio-Token` (another site can neither read the token nor send that
//   header without the studio's consent, which it never gives).
//
// Pure; any thread. The guard owns its copies of the addresses and the token.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace studio {

inline constexpr const char* kTokenHeader = "X-Studio-Token";
// Bodies past this are refused before they are read whole.
inline constexpr std::size_t kMostBodyBytes = 64 * 1024;

class RequestGuard {
 public:
  // `bind` and `port` as served; `token` as put into the page.
  RequestGuard(const std::string& bind, std::uint16_t port, std::string token);

  // Why the request must be refused (403), or nothing. Headers not sent are empty.
  std::optional<std::string> refusal(std::string_view method, std::string_view host, std::string_view origin,
                                     std::string_view token) const;

  // The page's own address, e.g. "http://127.0.0.1:8765/".
  std::string pageAddress() const { return "http://" + hosts_.front() + "/"; }
  const std::string& token() const { return token_; }

 private:
  std::vector<std::string> hosts_;  // the first is the one printed
  std::string token_;
};

// A token no other page can guess: 128 bits from the system's random source, in hex.
std::string freshToken();

}  // namespace studio
