#include "RequestGuard.h"

#include <algorithm>
#include <random>

#include <fmt/format.h>

#include "StudioOptions.h"

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

}  // namespace

RequestGuard::RequestGuard(const std::string& bind, std::uint16_t port, std::string token) : token_(std::move(token)) {
  hosts_.push_back(fmt::format("{}:{}", bind, port));
  if (bind == kLoopback) hosts_.push_back(fmt::format("localhost:{}", port));
}

std::optional<std::string> RequestGuard::refusal(std::string_view method, std::string_view host, std::string_view origin,
                                                 std::string_view token) const {
  if (std::find(hosts_.begin(), hosts_.end(), host) == hosts_.end()) {
    return fmt::format("this studio answers only requests to {}, not to '{}'", hosts_.front(), host);
  }
  if (!changes(method)) return std::nullopt;
  if (origin != fmt::format("http://{}", host)) return std::string("changes are accepted only from the studio's own page (Origin)");
  if (!sameSecret(token, token_)) return std::string("changes are accepted only from the studio's own page (token)");
  return std::nullopt;
}

std::string freshToken() {
  std::random_device source;  // the kernel's random source
  std::string token;
  for (int i = 0; i < 4; ++i) token += fmt::format("{:08x}", source());
  return token;
}

}  // namespace studio
