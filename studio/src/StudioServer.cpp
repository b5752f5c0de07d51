#include "StudioServer.h"

#include <fmt/format.h>
#include <sys/resource.h>

#include <algorithm>
#include <array>
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
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/chunk_encode.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/write.hpp>
#include <list>
#include <optional>
#include <set>
#include <stdexcept>
#include <string_view>
#include <utility>  // before Asio: Boost 1.74's awaitable.hpp uses std::exchange without including it

namespace studio {
namespace {

namespace asio = boost::asio;
using asio::awaitable;
using asio::use_awaitable;
using boost::system::error_code;
namespace beast = boost::beast;
using tcp = asio::ip::tcp;
using Clock = asio::steady_timer::clock_type;

// An operation's outcome into `error`, never thrown.
auto redirect(error_code& error) { return asio::redirect_error(use_awaitable, error); }

// A request the client sent whole enough to be told what is wrong with it;
// any other error means the client has gone or missed its deadline.
bool isMalformed(error_code error) {
  return error.category() == make_error_code(http::error::end_of_stream).category() &&
         error != http::error::end_of_stream;
}

// Never fewer connections than the streams' caps and a few requests beside them.
constexpr std::size_t kFewestConnections = FrameHub::kMostStreams + EventHub::kMostStreams + 8;
// How long the acceptor rests when the process is out of descriptors and no connection can make room.
constexpr auto kAcceptPause = std::chrono::milliseconds(50);
// A request's bytes held at most: its headers and its body.
constexpr std::size_t kMostBufferedBytes = kMostHeaderBytes + kMostBodyBytes;
// What an idle connection's first read takes at most; the parser asks for the rest.
constexpr std::size_t kFirstRead = 4096;

}  // namespace

std::size_t mostConnectionsForThisProcess() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return 4096;
  const auto files = static_cast<std::size_t>(limit.rlim_cur);
  return std::max(files > kFilesKeptFree ? files - kFilesKeptFree : 0, kFewestConnections);
}

class Connection;

struct StudioServer::State {
  State(HostRequests host, SettingsApi& api, FilesApi& files, FrameHub& frames, EventHub& events, ServerLimits limits)
      : host(std::move(host)), api(api), files(files), frames(frames), events(events), limits(limits) {}

  awaitable<void> accept();
  bool closeOldestIdle();
  void wake();

  HostRequests host;
  SettingsApi& api;
  FilesApi& files;
  FrameHub& frames;
  EventHub& events;
  const ServerLimits limits;
  std::optional<Routes> routes;
  std::size_t open = 0;
  std::list<Connection*> idle;    // waiting for a request, longest first
  std::set<Connection*> waiting;  // waiting for the hubs' news
  // Declared after what its connections use, so that they go first.
  asio::io_context io{1};
  tcp::acceptor acceptor{io};
  asio::steady_timer acceptPause{io};
};

// One client's socket, from accepting it to closing it; lives in its coroutines.
// Every outcome of its I/O is a value: a peer gone, a reset or a deadline
// passed ends this connection alone, and nothing is thrown across a co_await.
class Connection : public std::enable_shared_from_this<Connection> {
 public:
  using State = StudioServer::State;

  Connection(State& server, tcp::socket socket)
      : server_(server), stream_(std::move(socket)), news_(server.io), buffer_(kMostBufferedBytes) {}
  ~Connection() { shut(); }

  static awaitable<void> run(std::shared_ptr<Connection> self) {
    for (bool more = true; more;) more = co_await self->exchange();
    self->shut();
  }

  // Closes the socket now; every operation waiting on it ends.
  void shut() {
    if (shut_) return;
    shut_ = true;
    leaveIdle();
    error_code ignored;
    stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
    stream_.close();
    news_.cancel();
    --server_.open;
  }

  void wake() { news_.cancel(); }

 private:
  // Told of the hubs' news while it lives.
  struct Listening {
    explicit Listening(Connection& connection) : connection(connection) {
      connection.server_.waiting.insert(&connection);
    }
    ~Listening() { connection.server_.waiting.erase(&connection); }
    Connection& connection;
  };

  // One request and its answer; whether the connection takes another.
  awaitable<bool> exchange() {
    enterIdle();
    error_code error;
    if (buffer_.size() == 0) {
      stream_.expires_after(server_.limits.idle);
      const std::size_t got = co_await stream_.async_read_some(buffer_.prepare(kFirstRead), redirect(error));
      buffer_.commit(got);
      if (error || shut_) co_return false;
    }
    stream_.expires_after(server_.limits.request);
    RequestParser parser;
    limit(parser);
    co_await http::async_read_header(stream_, buffer_, parser, redirect(error));
    leaveIdle();
    if (!error) {
      if (auto refusal = server_.routes->refusal(parser.get())) {
        co_await sendLast(std::move(*refusal));
        co_return false;
      }
      if (parser.get()[http::field::expect] == "100-continue") {
        co_await asio::async_write(stream_, asio::buffer(std::string_view("HTTP/1.1 100 Continue\r\n\r\n")),
                                   redirect(error));
      }
      if (!error && !parser.is_done()) co_await http::async_read(stream_, buffer_, parser, redirect(error));
    }
    if (error || shut_) {
      if (!shut_ && isMalformed(error)) co_await sendLast(Routes::unreadable(error));
      co_return false;
    }
    stream_.expires_never();
    const bool keepAlive = parser.get().keep_alive();
    Answer answer = answerFor(parser.get());
    // Each co_await stands alone in its statement: g++ 12 miscompiles one inside a larger expression.
    if (answer.then == Answer::Then::Preview) {
      co_await streamFrames(std::move(answer));
      co_return false;
    }
    if (answer.then == Answer::Then::Events) {
      co_await streamEvents(std::move(answer));
      co_return false;
    }
    if (answer.then == Answer::Then::Still) answer.response = co_await still(answer.drawn);
    const bool sent = co_await send(std::move(answer.response), keepAlive);
    co_return sent&& keepAlive;
  }

  // The one place a route's failure is caught: answered 500, told on stderr, and the server goes on.
  Answer answerFor(const Request& request) {
    try {
      return server_.routes->answer(request);
    } catch (const std::exception& failure) {
      fmt::print(stderr, "auroraribbon-studio: {} {} failed: {}\n", request.method_string(), request.target(),
                 failure.what());
      return Routes::failed();
    }
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
    const bool started = co_await startStream(answer.response);
    if (!started) co_return;
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
      const bool sent = co_await sendChunk(buffers);
      if (!sent) co_return;
    }
  }

  awaitable<void> streamEvents(Answer answer) {
    std::uint64_t seen = server_.events.latest();  // what comes while the headers go out is news too
    const bool started = co_await startStream(answer.response);
    if (!started) co_return;
    const Listening listening(*this);
    while (!shut_ && !server_.events.closed()) {
      const std::vector<EventHub::Event> news = server_.events.after(seen);
      if (news.empty()) {
        const bool woken = co_await waitForNews(Clock::now() + server_.limits.heartbeat);
        if (woken) continue;
        const bool sent = co_await sendChunk(asio::buffer(std::string_view(": still here\n\n")));
        if (!sent) co_return;
        continue;
      }
      std::string text;
      for (const EventHub::Event& event : news) text += fmt::format("event: {}\ndata: {}\n\n", event.name, event.data);
      seen = news.back().number;
      const bool sent = co_await sendChunk(asio::buffer(text));
      if (!sent) co_return;
    }
  }

  // Sends a stream's headers, then watches its socket: a stream's client
  // sends nothing more, so a read that ends means it has gone.
  awaitable<bool> startStream(Response& head) {
    http::response_serializer<http::string_body> serializer(head);
    stream_.expires_after(server_.limits.write);
    error_code error;
    co_await http::async_write_header(stream_, serializer, redirect(error));
    stream_.expires_never();
    if (error) co_return false;
    asio::co_spawn(server_.io, watchForClose(shared_from_this()), asio::detached);
    co_return true;
  }

  // Reads the socket itself, outside the stream's deadlines: a read of the
  // stream would take the deadline of whatever write was under way when it
  // began (the watch starts later than the stream's first chunk may), and end
  // a healthy stream when that deadline passed.
  static awaitable<void> watchForClose(std::shared_ptr<Connection> self) {
    std::array<char, 256> ignored;
    for (error_code error; !error && !self->shut_;)
      co_await self->stream_.socket().async_read_some(asio::buffer(ignored), redirect(error));
    self->shut();
  }

  // True when woken by news (or by closing), false when `until` came first.
  awaitable<bool> waitForNews(Clock::time_point until) {
    news_.expires_at(until);
    error_code error;
    co_await news_.async_wait(redirect(error));
    co_return error == asio::error::operation_aborted;
  }

  // Whether the client took the whole answer within the write deadline.
  awaitable<bool> send(Response response, bool keepAlive) {
    response.keep_alive(keepAlive);
    response.prepare_payload();
    stream_.expires_after(server_.limits.write);
    error_code error;
    co_await http::async_write(stream_, response, redirect(error));
    stream_.expires_never();
    co_return !error;
  }

  // A refusal before the request was read whole: sent, then what the client
  // still sends is read and dropped for a while, since closing with unread
  // bytes resets the connection, and a reset can lose the answer on its way.
  awaitable<void> sendLast(Response response) {
    const bool sent = co_await send(std::move(response), false);
    if (!sent) co_return;
    error_code error;
    stream_.socket().shutdown(tcp::socket::shutdown_send, error);
    stream_.expires_after(server_.limits.request);
    std::array<char, 4096> ignored;
    while (!error && !shut_) co_await stream_.async_read_some(asio::buffer(ignored), redirect(error));
  }

  // Whether the client took the chunk within the write deadline (a stream's
  // watch may be reading meanwhile; its read keeps no deadline).
  template <class Buffers>
  awaitable<bool> sendChunk(Buffers buffers) {
    const auto chunk = http::make_chunk(buffers);
    stream_.expires_after(server_.limits.write);
    error_code error;
    co_await asio::async_write(stream_, chunk, redirect(error));
    stream_.expires_never();
    co_return !error;
  }

  void enterIdle() {
    if (!idleAt_ && !shut_) idleAt_ = server_.idle.insert(server_.idle.end(), this);
  }
  void leaveIdle() {
    if (idleAt_) server_.idle.erase(*std::exchange(idleAt_, std::nullopt));
  }

  State& server_;
  beast::tcp_stream stream_;
  asio::steady_timer news_;
  beast::flat_buffer buffer_;
  std::optional<std::list<Connection*>::iterator> idleAt_;
  bool shut_ = false;
};

awaitable<void> StudioServer::State::accept() {
  for (;;) {
    error_code error;
    tcp::socket socket = co_await acceptor.async_accept(redirect(error));
    if (error == asio::error::operation_aborted || !acceptor.is_open()) co_return;
    if (error) {  // most likely out of descriptors: make room, or rest before trying again
      if (!closeOldestIdle()) {
        acceptPause.expires_after(kAcceptPause);
        co_await acceptPause.async_wait(redirect(error));
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

StudioServer::StudioServer(HostRequests host, SettingsApi& api, FilesApi& files, FrameHub& frames, EventHub& events,
                           ServerLimits limits)
    : state_(std::make_unique<State>(std::move(host), api, files, frames, events, limits)) {
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
  const auto found =
      resolver.resolve(address, std::to_string(port), tcp::resolver::passive | tcp::resolver::numeric_service, error);
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

void StudioServer::routeBehind(RequestGuard guard) {
  state_->routes.emplace(state_->host, state_->api, state_->files, state_->frames, state_->events, std::move(guard));
}

void StudioServer::serve() {
  asio::co_spawn(state_->io, state_->accept(), asio::detached);
  state_->io.run();
}

void StudioServer::stop() { state_->io.stop(); }

}  // namespace studio
