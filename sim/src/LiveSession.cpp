#include "LiveSession.h"

#include <unistd.h>

#include <csignal>

#include "Foundation/NSRunLoop.h"
#include "LiveView.h"
#include "TerminalSession.h"
#include "host/SceneWatcher.h"

namespace sim {
namespace {

constexpr char kCtrlC = '\x03';

// A run loop source for as long as this lives.
class SourceScope {
 public:
  SourceScope(int fd, std::function<void()> onReadable) : fd_(fd) {
    NSRunLoop::mainRunLoop().addSource(fd, std::move(onReadable));
  }
  ~SourceScope() { NSRunLoop::mainRunLoop().removeSource(fd_); }
  SourceScope(const SourceScope&) = delete;
  SourceScope& operator=(const SourceScope&) = delete;

 private:
  int fd_;
};

// Reads what was typed; true when it asks to quit. End of input counts as no keys.
bool readQuitKey() {
  char keys[64];
  const ssize_t n = ::read(STDIN_FILENO, keys, sizeof keys);
  if (n <= 0) {
    NSRunLoop::mainRunLoop().removeSource(STDIN_FILENO);
    return false;
  }
  for (ssize_t i = 0; i < n; ++i) {
    if (keys[i] == 'q' || keys[i] == 'Q' || keys[i] == kCtrlC) return true;
  }
  return false;
}

}  // namespace

int runLiveView(host::Scene& scene, const LiveSettings& settings, const std::function<void()>& start) {
  NSRunLoop& loop = NSRunLoop::mainRunLoop();
  TerminalSession session;
  const std::string quit = session.hasKeyboard() ? "q quits" : "Ctrl-C quits";
  LiveView view(scene.window(), session, settings.view, [&] { return " " + settings.status() + "   " + quit; });
  const host::SceneWatcher watcher(view);

  int endedBy = 0;
  SourceScope signals(session.signalFd(), [&] {
    for (int signal : session.takeSignals()) {
      if (signal == SIGWINCH) {
        view.resized();
      } else {
        endedBy = signal;
        loop.stop();
      }
    }
  });
  std::optional<SourceScope> keys;
  if (session.hasKeyboard())
    keys.emplace(STDIN_FILENO, [&] {
      if (readQuitKey()) loop.stop();
    });

  start();
  view.sceneChanged();
  loop.runUntil(settings.duration ? loop.now() + *settings.duration : aurora::Nanoseconds::max());
  return endedBy == 0 ? 0 : 128 + endedBy;
}

}  // namespace sim
