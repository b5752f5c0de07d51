#include "StudioServer.h"

#include <sys/resource.h>

#include <utility>  // before Asio: Boost 1.74's awaitable.hpp uses std::exchange without including it

#include <algorithm>
#include <array>
#include <list>
#include <optional>
#include <set>
#include <stdexcept>
#include <string_view>

#include <boost/asio/co_spawn.hpp>
#include <boost/asio/detached.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/redirect_error.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http/chunk_encode.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/write.hpp>
#include <fmt/format.h>

namespace studio {
namespace {

namespace asio = boost::asio;
using asio::awaitable;
using asio::use_awaitable;
using boost::system::error_code;
using tcp = asio::ip::tcp;
using Clock = asio::steady_timer::clock_type;

// Never fewer connections than the streams' caps and a few requests beside them.
constexpr std::size_t kFewestConnections = FrameHub::kMostStreams + EventHub::kMostStreams + 8;
// How long the acceptor rests when the process is out of descriptors and no connection can make room.
constexpr auto kAcceptPause = std::chrono::milliseconds(50);
// A request's bytes held at most: its headers and its body.
constexpr std::size_t kMostBufferedBytes = kMostHeaderBytes + kMostBodyBytes;

}  // namespace

std::size_t mostConnectionsForThisProcess() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return 4096;
  const auto files = static_cast<std::size_t>(limit.rlim_cur);
  return std::max(files > kFilesKeptFree ? files - kFilesKeptFree : 0, kFewestConnections);
}

class Connection;

struct StudioServer::State {
  State(HostRequests host, SettingsApi& api, FrameHub& frames, EventHub& events, ServerLimits limits)
      : host(std::move(host)), api(api), frames(frames), events(events), limits(limits) {}

  awaitable<void> accept();
  bool closeOldestIdle();
  void wake();

  HostRequests host;
  SettingsApi& api;
  FrameHub& frames;
  EventHub& events;
  const ServerLimits limits;
  std::optional<Routes> routes;
  std::size_t open = 0;
  std::list<Connection*> idle;     // waiting for a request, longest first
  std::set<Connection*> waiting;   // waiting for the hubs' news
  // Declared after what its connections use, so that they go first.
  asio::io_context io{1};
  tcp::acceptor acceptor{io};
  asio::steady_timer acceptPause{io};
};

// One client's socket, from accepting it to closing it; lives in its coroutines.
class Connection : public std::enable_shared_from_this<Connection> {
 public:
  using State = StudioServer::State;

  Connection(State& server, tcp::socket socket)
      : server_(server), socket_(std::move(socket)), deadline_(server.io), news_(server.io), buffer_(kMostBufferedBytes) {}
  ~Connection() { shut(); }

  static awaitable<void> run(std::shared_ptr<Connection> self) {
    try {
      while (co_await self->exchange()) {
      }
    } catch (const boost::system::system_error&) {
      // A write failed or its deadline closed the socket: the client is gone.
    }
    self->shut();
  }

  // Closes the socket now; every operation waiting on it ends.
  void shut() {
    if (shut_) return;
    shut_ = true;
    leaveIdle();
    error_code ignored;
    socket_.shutdown(tcp::socket::shutdown_both, ignored);
    socket_.close(ignored);
    deadline_.cancel();
    news_.cancel();
    --server_.open;
  }

  void wake() { news_.cancel(); }

 private:
  // Told of the hubs' news while it lives.
  struct Listening {
    explicit Listening(Connection& connection) : connection(connection) { connection.server_.waiting.insert(&connection); }
    ~Listening() { connection.server_.waiting.erase(&connection); }
    Connection& connection;
  };

  // One request and its answer; whether the connection takes another.
  awaitable<bool> exchange() {
    enterIdle();
    if (buffer_.size() == 0) {
      arm(server_.limits.idle);
      error_code error;
      co_await socket_.async_wait(tcp::socket::wait_read, asio::redirect_error(use_awaitable, error));
      if (error || shut_) co_return false;
    }
    arm(server_.limits.request);
    RequestParser parser;
    limit(parser);
    error_code error;
    co_await http::async_read_header(socket_, buffer_, parser, asio::redirect_error(use_awaitable, error));
    leaveIdle();
    if (!error) {
      if (auto refusal = server_.routes->refusal(parser.get())) {
        co_await sendLast(std::move(*refusal));
        co_return false;
      }
      if (parser.get()[http::field::expect] == "100-continue") {
        co_await asio::async_write(socket_, asio::buffer(std::string_view("HTTP/1.1 100 Continue\r\n\r\n")), use_awaitable);
      }
      if (!parser.is_done()) co_await http::async_read(socket_, buffer_, parser, asio::redirect_error(use_awaitable, error));
    }
    if (error == http::error::end_of_stream || shut_) co_return false;
    if (error) {
      co_await sendLast(Routes::unreadable(error));
      co_return false;
    }
    deadline_.cancel();
    const bool keepAlive = parser.get().keep_alive();
    Answer answer = server_.routes->answer(parser.get());
    switch (answer.then) {
      case Answer::Then::Done: co_await send(std::move(answer.response), keepAlive); co_return keepAlive;
      case Answer::Then::Still: {
        Response picture = co_await still(answer.drawn);
        co_await send(std::move(picture), keepAlive);
        co_return keepAlive;
      }
      case Answer::Then::Preview: co_await streamFrames(std::move(answer)); co_return false;
      case Answer::Then::Events: co_await streamEvents(std::move(answer)); co_return false;
    }
    co_return false;
  }

  awaitable<Response> still(std::uint64_t drawn) {
    const Listening listening(*this);
    const auto until = Clock::now() + server_.limits.still;
    while (server_.frames.whole().number <= drawn && !server_.frames.closed() && !shut_ && Clock::now() < until) {
      co_await waitForNews(until);
    }
    co_return Routes::still(server_.frames.whole());
  }

  awaitable<void> streamFrames(Answer answer) {
    co_await startStream(answer.response);
    const Listening listening(*this);
    std::optional<std::uint64_t> askedPast;  // the whole picture that would not do when one was asked for
    for (std::uint64_t shown = 0; !shut_ && !server_.frames.closed();) {
      const FrameHub::Next next = server_.frames.after(shown);
      if (next.wholeNeeded && askedPast != server_.frames.whole().number) {
        askedPast = server_.frames.whole().number;
        server_.host.wantFrame();
      }
      shown = next.upTo;
      if (next.parts.empty()) {
        co_await waitForNews(Clock::time_point::max());
        continue;
      }
      // A reader still taking these misses nothing: the next call brings it what came meanwhile.
      std::vector<std::string> heads;
      std::vector<asio::const_buffer> buffers;
      heads.reserve(next.parts.size());
      for (const FrameHub::Part& part : next.parts) {
        heads.push_back(partHead(part));
        buffers.insert(buffers.end(), {asio::buffer(heads.back()), asio::buffer(*part.png), asio::buffer(kPartEnd)});
      }
      co_await sendChunk(buffers);
    }
  }

  awaitable<void> streamEvents(Answer answer) {
    std::uint64_t seen = server_.events.latest();  // what comes while the headers go out is news too
    co_await startStream(answer.response);
    const Listening listening(*this);
    while (!shut_ && !server_.events.closed()) {
      const std::vector<EventHub::Event> news = server_.events.after(seen);
      if (news.empty()) {
        if (!co_await waitForNews(Clock::now() + server_.limits.heartbeat)) co_await sendChunk(asio::buffer(std::string_view(": still here\n\n")));
        continue;
      }
      std::string text;
      for (const EventHub::Event& event : news) text += fmt::format("event: {}\ndata: {}\n\n", event.name, event.data);
      seen = news.back().number;
      co_await sendChunk(asio::buffer(text));
    }
  }

  // Sends a stream's headers, then watches its socket: a stream's client
  // sends nothing more, so a read that ends means it has gone.
  awaitable<void> startStream(Response& head) {
    http::response_serializer<http::string_body> serializer(head);
    arm(server_.limits.write);
    co_await http::async_write_header(socket_, serializer, use_awaitable);
    deadline_.cancel();
    asio::co_spawn(server_.io, watchForClose(shared_from_this()), asio::detached);
  }

  static awaitable<void> watchForClose(std::shared_ptr<Connection> self) {
    std::array<char, 256> ignored;
    for (error_code error; !error && !self->shut_;) {
      co_await self->socket_.async_read_some(asio::buffer(ignored), asio::redirect_error(use_awaitable, error));
    }
    self->shut();
  }

  // True when woken by news (or by closing), false when `until` came first.
  awaitable<bool> waitForNews(Clock::time_point until) {
    news_.expires_at(until);
    error_code error;
    co_await news_.async_wait(asio::redirect_error(use_awaitable, error));
    co_return error == asio::error::operation_aborted;
  }

  awaitable<void> send(Response response, bool keepAlive) {
    response.keep_alive(keepAlive);
    response.prepare_payload();
    arm(server_.limits.write);
    co_await http::async_write(socket_, response, use_awaitable);
    deadline_.cancel();
  }

  // A refusal before the request was read whole: sent, then what the client
  // still sends is read and dropped for a while, since closing with unread
  // bytes resets the connection, and a reset can lose the answer on its way.
  awaitable<void> sendLast(Response response) {
    co_await send(std::move(response), false);
    error_code error;
    socket_.shutdown(tcp::socket::shutdown_send, error);
    arm(server_.limits.request);
    std::array<char, 4096> ignored;
    while (!error && !shut_) co_await socket_.async_read_some(asio::buffer(ignored), asio::redirect_error(use_awaitable, error));
  }

  template <class Buffers>
  awaitable<void> sendChunk(Buffers buffers) {
    const auto chunk = http::make_chunk(buffers);
    arm(server_.limits.write);
    co_await asio::async_write(socket_, chunk, use_awaitable);
    deadline_.cancel();
  }

  // Closes the connection unless what it waits for comes within `patience`.
  void arm(std::chrono::milliseconds patience) {
    deadline_.expires_after(patience);
    deadline_.async_wait([weak = weak_from_this()](error_code error) {
      if (auto self = weak.lock(); self && !error) self->shut();
    });
  }

  void enterIdle() {
    if (!idleAt_ && !shut_) idleAt_ = server_.idle.insert(server_.idle.end(), this);
  }
  void leaveIdle() {
    if (idleAt_) server_.idle.erase(*std::exchange(idleAt_, std::nullopt));
  }

  State& server_;
  tcp::socket socket_;
  asio::steady_timer deadline_;
  asio::steady_timer news_;
  boost::beast::flat_buffer buffer_;
  std::optional<std::list<Connection*>::iterator> idleAt_;
  bool shut_ = false;
};

awaitable<void> StudioServer::State::accept() {
  for (;;) {
    error_code error;
    tcp::socket socket = co_await acceptor.async_accept(asio::redirect_error(use_awaitable, error));
    if (error == asio::error::operation_aborted || !acceptor.is_open()) co_return;
    if (error) {  // most likely out of descriptors: make room, or rest before trying again
      if (!closeOldestIdle()) {
        acceptPause.expires_after(kAcceptPause);
        co_await acceptPause.async_wait(asio::redirect_error(use_awaitable, error));
      }
      continue;
    }
    if (open >= limits.connections && !closeOldestIdle()) continue;  // every connection busy: this one is closed
    socket.set_option(tcp::no_delay(true), error);
    ++open;
    asio::co_spawn(io, Connection::run(std::make_shared<Connection>(*this, std::move(socket))), asio::detached);
  }
}

bool StudioServer::State::closeOldestIdle() {
  if (idle.empty()) return false;
  idle.front()->shut();
  return true;
}

void StudioServer::State::wake() {
  for (Connection* connection : waiting) connection->wake();
}

StudioServer::StudioServer(HostRequests host, SettingsApi& api, FrameHub& frames, EventHub& events, ServerLimits limits)
    : state_(std::make_unique<State>(std::move(host), api, frames, events, limits)) {
  for (Hub* hub : std::initializer_list<Hub*>{&frames, &events}) {
    hub->listen([state = state_.get()] { asio::post(state->io, [state] { state->wake(); }); });
  }
}

StudioServer::~StudioServer() {
  state_->frames.listen(nullptr);
  state_->events.listen(nullptr);
}

std::uint16_t StudioServer::bind(const std::string& address, std::uint16_t port) {
  error_code error;
  tcp::resolver resolver(state_->io);
  const auto found = resolver.resolve(address, std::to_string(port), tcp::resolver::passive | tcp::resolver::numeric_service, error);
  tcp::acceptor& acceptor = state_->acceptor;
  if (!error && found.empty()) error = asio::error::host_not_found;
  if (!error) acceptor.open(found.begin()->endpoint().protocol(), error);
  if (!error) acceptor.set_option(tcp::acceptor::reuse_address(true), error);
  if (!error) acceptor.bind(found.begin()->endpoint(), error);
  if (!error) acceptor.listen(asio::socket_base::max_listen_connections, error);
  if (error) {
    error_code ignored;
    acceptor.close(ignored);
    throw std::runtime_error(fmt::format("cannot serve on {}:{}: {}", address, port, error.message()));
  }
  return acceptor.local_endpoint().port();
}

void StudioServer::guard(RequestGuard guard) {
  state_->routes.emplace(state_->host, state_->api, state_->frames, state_->events, std::move(guard));
}

void StudioServer::serve() {
  asio::co_spawn(state_->io, state_->accept(), asio::detached);
  state_->io.run();
}

void StudioServer::stop() { state_->io.stop(); }

}  // namespace studio
