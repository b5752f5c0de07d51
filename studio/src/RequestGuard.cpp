#include "RequestGuard.h"

#include <fmt/format.h>

#include <algorithm>
#include <boost/asio/ip/address.hpp>
#include <random>
#include <stdexcept>

namespace studio {
namespace {

bool changes(std::string_view method) { return method != "GET" && method != "HEAD" && method != "OPTIONS"; }

// Compares in time that does not depend on where the first difference is.
bool sameSecret(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  unsigned char difference = 0;
  for (std::size_t i = 0; i < a.size(); ++i) difference |= static_cast<unsigned char>(a[i] ^ b[i]);
  return difference == 0;
}

// A request another site's page made; a plain navigation to a page is not one,
// since the linking site sees nothing of what it opens.
bool fromAnotherSite(const GuardedRequest& request) {
  if (request.fetchSite.empty() || request.fetchSite == "same-origin" || request.fetchSite == "none") return false;
  return !(request.method == "GET" && request.fetchMode == "navigate" && request.fetchDest == "document");
}

// The value of `name` in a list of `name=value` pairs split by `separator`, or empty.
std::string_view valueIn(std::string_view pairs, std::string_view name, char separator) {
  while (!pairs.empty()) {
    const std::size_t end = std::min(pairs.find(separator), pairs.size());
    std::string_view pair = pairs.substr(0, end);
    pairs.remove_prefix(std::min(end + 1, pairs.size()));
    while (pair.starts_with(' ')) pair.remove_prefix(1);
    if (pair.size() > name.size() && pair.starts_with(name) && pair[name.size()] == '=')
      return pair.substr(name.size() + 1);
  }
  return {};
}

std::string_view query(std::string_view target) {
  const std::size_t mark = target.find('?');
  return mark == std::string_view::npos ? std::string_view() : target.substr(mark + 1);
}

}  // namespace

RequestGuard::RequestGuard(const std::string& bind, std::uint16_t port, std::string token)
    : cookieName_(fmt::format("studio-token-{}", port)), token_(std::move(token)) {
  const auto hostAndPort = [port](const boost::asio::ip::address& address) {
    return address.is_v6() ? fmt::format("[{}]:{}", address.to_string(), port)
                           : fmt::format("{}:{}", address.to_string(), port);
  };
  boost::system::error_code error;
  const boost::asio::ip::address address =
      bind == "localhost" ? boost::asio::ip::address_v4::loopback() : boost::asio::ip::make_address(bind, error);
  if (error) throw std::invalid_argument(fmt::format("'{}' is not an IP address", bind));
  tokenOnEveryRequest_ = !address.is_loopback();
  if (address.is_unspecified()) {  // every address of the machine: printed as its loopback, which this one opens
    hosts_.push_back(hostAndPort(address.is_v6() ? boost::asio::ip::address(boost::asio::ip::address_v6::loopback())
                                                 : boost::asio::ip::address(boost::asio::ip::address_v4::loopback())));
  } else {
    hosts_.push_back(hostAndPort(address));
  }
  if (!tokenOnEveryRequest_) hosts_.push_back(fmt::format("localhost:{}", port));
}

std::optional<std::string> RequestGuard::refusal(const GuardedRequest& request) const {
  if (fromAnotherSite(request)) return std::string("this studio answers only its own page, not another site's");
  if (tokenOnEveryRequest_) {
    if (!carriesToken(request))
      return std::string("this studio answers only requests that carry its token: open the address it printed");
  } else if (std::find(hosts_.begin(), hosts_.end(), request.host) == hosts_.end()) {
    return fmt::format("this studio answers only requests to {}, not to '{}'", hosts_.front(), request.host);
  }
  const bool ownOrigin = request.origin == fmt::format("http://{}", request.host);
  if (!request.origin.empty() && !ownOrigin) return std::string("this studio answers only its own page (Origin)");
  if (!changes(request.method)) return std::nullopt;
  if (!ownOrigin) return std::string("changes are accepted only from the studio's own page (Origin)");
  if (!sameSecret(request.token, token_))
    return std::string("changes are accepted only from the studio's own page (token)");
  return std::nullopt;
}

bool RequestGuard::carriesToken(const GuardedRequest& request) const {
  return sameSecret(request.token, token_) || sameSecret(valueIn(request.cookie, cookieName_, ';'), token_) ||
         sameSecret(valueIn(query(request.target), "token", '&'), token_);
}

std::string RequestGuard::pageAddress() const {
  return fmt::format("http://{}/{}", hosts_.front(), tokenOnEveryRequest_ ? "?token=" + token_ : "");
}

std::string RequestGuard::tokenCookie() const {
  return fmt::format("{}={}; Path=/; HttpOnly; SameSite=Strict", cookieName_, token_);
}

std::string freshToken() {
  std::random_device source;  // the kernel's random source
  std::string token;
  for (int i = 0; i < 4; ++i) token += fmt::format("{:08x}", source());
  return token;
}

}  // namespace studio
