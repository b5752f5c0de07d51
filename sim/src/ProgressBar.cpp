#include "ProgressBar.h"

#include <fmt/format.h>

#include <algorithm>

namespace sim {
namespace {

constexpr std::size_t kBarWidth = 20;

}  // namespace

ProgressBar::ProgressBar(std::ostream* out, std::string label, std::size_t total)
    : out_(out), label_(std::move(label)), total_(std::max<std::size_t>(total, 1)) {}

void ProgressBar::update(std::size_t done) {
  if (out_ == nullptr) return;
  done = std::min(done, total_);
  const int percent = static_cast<int>(done * 100 / total_);
  if (percent == lastPercent_) return;
  lastPercent_ = percent;
  const std::size_t filled = done * kBarWidth / total_;
  *out_ << fmt::format("\r{} [{}{}] {:3}%  {}/{}", label_, std::string(filled, '#'),
                       std::string(kBarWidth - filled, '-'), percent, done, total_)
        << std::flush;
}

void ProgressBar::finish() {
  if (out_ != nullptr && lastPercent_ >= 0) *out_ << '\n' << std::flush;
}

}  // namespace sim
