// Who the studio answers. It opens a port on the user's machine, so:
// - a request a browser marks as coming from another site (`Sec-Fetch-Site`
//   other than same-origin or none, or an `Origin` other than the studio's
//   own) is refused on every route, reads and streams included; the one
//   exception is a plain navigation to a page, which shows the page to its
//   user and nothing to the site that linked to it. A program that sends
//   neither header (curl, the tests) still reads;
// - on a loopback address, every request must be addressed to the address it
//   serves (its `Host`), so that a page on another site cannot reach it by
//   pointing a name of its own at 127.0.0.1 (DNS rebinding);
// - on any other address, which other machines can reach by names the studio
//   cannot know, any `Host` is taken but every request must carry the token:
//   the printed address carries it (`?token=`), the page it opens sets it as a
//   cookie that its own later requests carry, and no other site's can;
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

// What the guard looks at in a request; headers not sent are empty.
struct GuardedRequest {
  std::string_view method{}, target{}, host{}, origin{}, token{}, cookie{};
  std::string_view fetchSite{}, fetchMode{}, fetchDest{};  // Sec-Fetch-Site, -Mode, -Dest
};

class RequestGuard {
 public:
  // `bind` and `port` as served; `token` as put into the page. Throws
  // std::invalid_argument when `bind` is not an IP address or "localhost".
  RequestGuard(const std::string& bind, std::uint16_t port, std::string token);

  // Why the request must be refused (403), or nothing.
  std::optional<std::string> refusal(const GuardedRequest& request) const;

  // The page's address as a browser opens it, e.g. "http://127.0.0.1:8765/"
  // or "http://[::1]:8765/"; with "?token=" when every request needs it.
  std::string pageAddress() const;
  // Whether other machines can reach it, so that every request needs the token.
  bool tokenOnEveryRequest() const { return tokenOnEveryRequest_; }
  // The Set-Cookie value that lets the page's own later requests carry the token.
  std::string tokenCookie() const;
  const std::string& token() const { return token_; }

 private:
  bool carriesToken(const GuardedRequest& request) const;

  std::vector<std::string> hosts_;  // as a browser sends them in Host; the first is the one printed
  std::string cookieName_;
  std::string token_;
  bool tokenOnEveryRequest_ = false;
};

// A token no other page can guess: 128 bits from the system's random source, in hex.
std::string freshToken();

}  // namespace studio
