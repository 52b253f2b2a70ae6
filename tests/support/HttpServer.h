#pragma once
// A small HTTP/1.1 server on 127.0.0.1 for tests: answers from a table of
// paths, keeps connections alive, and counts connections and requests so a
// test can see whether a client reused its connection.
//
//   HttpServer server;
//   server.route("/a", {200, "text/html; charset=utf-8", "<p>hi</p>"});
//   server.redirect("/old", "/a");
//   server.neverAnswer("/slow");
//   download(fromUtf8(server.url("/a")));
//
// Faults, for the failure tests: a path can also close the connection as
// soon as its request is read, reset it in the middle of the body, or send
// its answer one byte per interval.
//
// Every answer can be held back a while, as a distant server's would be.
//
// Unknown paths get 404. Each connection is served on its own thread; the
// destructor wakes and joins them all, whatever the clients are doing.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "RequestHeaders.h"

namespace vantoril::test {

class HttpServer {
 public:
  struct Response {
    int status = 200;
    std::string contentType;  // no Content-Type header when empty
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers = {};  // further headers
    bool chunked = false;  // send the body chunked, without a Content-Length
  };

  HttpServer() {
    wake_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (wake_ < 0 || listener_ < 0) fail("socket");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, 64) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
      fail("bind");
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread([this] { acceptLoop(); });
  }

  ~HttpServer() {
    stopping_ = true;
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(wake_, &one, sizeof one);
    acceptor_.join();
    // No new connection thread starts once the acceptor has ended.
    for (std::thread& t : connections_) t.join();
    ::close(listener_);
    ::close(wake_);
  }

  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // Serves `response` for requests of `path` (the request target, with any
  // query string). May be called while clients are connected.
  void route(const std::string& path, Response response) { fault(path, Fault::None, std::move(response)); }
  // Answers `path` with a redirect to `location` (absolute, or a path).
  void redirect(const std::string& path, const std::string& location, int status = 302) {
    route(path, Response{status, "text/html", "moved", {{"Location", location}}});
  }
  // Reads requests of `path` and never answers them; the connection stays
  // open until the client gives up or the server stops.
  void neverAnswer(const std::string& path) { fault(path, Fault::Silent, Response{}); }
  // Reads the request of `path`, then closes the connection without a word.
  void closeAtOnce(const std::string& path) { fault(path, Fault::CloseAtOnce, Response{}); }
  // Sends the head and half the body of `response`, then resets the connection.
  void resetMidBody(const std::string& path, Response response) {
    fault(path, Fault::ResetMidBody, std::move(response));
  }
  // Sends `response` one byte per `interval`.
  void drip(const std::string& path, Response response, std::chrono::milliseconds interval) {
    fault(path, Fault::Drip, std::move(response), interval);
  }

  std::uint16_t port() const { return port_; }
  // "http://127.0.0.1:<port><path>"
  std::string url(std::string_view path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
  }

  // Connections accepted and requests read so far.
  int connectionCount() const { return connectionCount_; }
  // Connections the client has not closed yet.
  int openConnectionCount() const { return openConnections_; }
  int requestCount() const { return requestCount_; }
  // The request targets read so far, in order.
  std::vector<std::string> requestedPaths() const {
    std::lock_guard lock(mutex_);
    return requested_;
  }
  // The value of request header `name` (lower case) in each request read
  // so far, in order; "" where a request had none.
  std::vector<std::string> requestHeaders(std::string_view name) const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> values;
    for (const std::string& head : heads_) values.push_back(header(head, name));
    return values;
  }
  // The heads of the requests read so far (request line and headers, without
  // the blank line), in order.
  std::vector<std::string> requestHeads() const {
    std::lock_guard lock(mutex_);
    return heads_;
  }
  // Sends every later answer `delay` after its request has been read.
  void delayAnswers(std::chrono::milliseconds delay) { delayMs_ = delay.count(); }

 private:
  enum class Fault { None, Silent, CloseAtOnce, ResetMidBody, Drip };
  struct Route {
    Response response;
    Fault fault = Fault::None;
    std::chrono::milliseconds interval{0};
  };

  void fault(const std::string& path, Fault fault, Response response,
             std::chrono::milliseconds interval = std::chrono::milliseconds(0)) {
    std::lock_guard lock(mutex_);
    routes_[path] = std::make_shared<const Route>(Route{std::move(response), fault, interval});
  }

  // Waits `interval` unless the server stops first; false when it stops.
  bool pause(std::chrono::milliseconds interval) const {
    const auto until = std::chrono::steady_clock::now() + interval;
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
      pollfd wake{wake_, POLLIN, 0};
      const int n = ::poll(&wake, 1, static_cast<int>(std::max<std::int64_t>(left.count(), 0)));
      if (n < 0 && errno == EINTR) continue;
      return n == 0 && !stopping_;
    }
  }

  [[noreturn]] static void fail(const char* what) {
    throw std::runtime_error(std::string("HttpServer: ") + what + ": " + std::strerror(errno));
  }

  // Waits until `fd` is ready for `events`; false when the server stops.
  bool waitFor(int fd, short events) const {
    for (;;) {
      pollfd fds[2] = {{fd, events, 0}, {wake_, POLLIN, 0}};
      const int n = ::poll(fds, 2, -1);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 || stopping_ || (fds[1].revents & POLLIN)) return false;
      if (fds[0].revents != 0) return true;
    }
  }

  void acceptLoop() {
    while (waitFor(listener_, POLLIN)) {
      const int socket = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
      if (socket < 0) continue;
      ++connectionCount_;
      ++openConnections_;
      connections_.emplace_back([this, socket] {
        serve(socket);
        ::close(socket);
        --openConnections_;
      });
    }
  }

  // Reads more bytes into `buffer`; false when the peer closed or the server stops.
  bool receive(int socket, std::string& buffer) const {
    char chunk[16384];
    for (;;) {
      const ssize_t n = ::recv(socket, chunk, sizeof chunk, 0);
      if (n > 0) {
        buffer.append(chunk, static_cast<std::size_t>(n));
        return true;
      }
      if (n == 0) return false;
      if (errno == EINTR) continue;
      if (errno != EAGAIN && errno != EWOULDBLOCK) return false;
      if (!waitFor(socket, POLLIN)) return false;
    }
  }

  bool sendAll(int socket, std::string_view data) const {
    while (!data.empty()) {
      const ssize_t n = ::send(socket, data.data(), data.size(), MSG_NOSIGNAL);
      if (n > 0) {
        data.remove_prefix(static_cast<std::size_t>(n));
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && waitFor(socket, POLLOUT)) continue;
      return false;
    }
    return true;
  }

  static std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
  }

  // The value of header `name` (lower case) in a request head, or "".
  static std::string header(std::string_view head, std::string_view name) {
    for (const auto& [found, value] : headerLines(head))
      if (found == name) return value;
    return {};
  }

  static const char* reason(int status) {
    switch (status) {
      case 200: return "OK";
      case 301: return "Moved Permanently";
      case 302: return "Found";
      case 303: return "See Other";
      case 307: return "Temporary Redirect";
      case 308: return "Permanent Redirect";
      case 404: return "Not Found";
      case 500: return "Internal Server Error";
      default: return "Status";
    }
  }

  static std::string hex(std::size_t n) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    do {
      out.insert(out.begin(), digits[n % 16]);
      n /= 16;
    } while (n != 0);
    return out;
  }

  static std::string render(const Response& r, bool head, bool close) {
    std::string out = "HTTP/1.1 " + std::to_string(r.status) + " " + reason(r.status) + "\r\n";
    if (!r.contentType.empty()) out += "Content-Type: " + r.contentType + "\r\n";
    for (const auto& [name, value] : r.headers) out += name + ": " + value + "\r\n";
    if (r.chunked)
      out += "Transfer-Encoding: chunked\r\n";
    else
      out += "Content-Length: " + std::to_string(r.body.size()) + "\r\n";
    if (close) out += "Connection: close\r\n";
    out += "\r\n";
    if (head) return out;
    if (!r.chunked) return out + r.body;
    constexpr std::size_t piece = 4096;
    for (std::size_t at = 0; at < r.body.size(); at += piece) {
      const std::string_view part = std::string_view(r.body).substr(at, piece);
      out += hex(part.size()) + "\r\n";
      out.append(part);
      out += "\r\n";
    }
    return out + "0\r\n\r\n";
  }

  void serve(int socket) {
    std::string buffer;
    for (;;) {
      std::size_t end;
      while ((end = buffer.find("\r\n\r\n")) == std::string::npos)
        if (!receive(socket, buffer)) return;
      const std::string head = buffer.substr(0, end);
      // A request body (rare in tests) is read and dropped.
      const std::size_t bodyLength = std::strtoul(header(head, "content-length").c_str(), nullptr, 10);
      while (buffer.size() < end + 4 + bodyLength)
        if (!receive(socket, buffer)) return;
      buffer.erase(0, end + 4 + bodyLength);

      const std::size_t firstSpace = head.find(' ');
      const std::size_t secondSpace = head.find(' ', firstSpace + 1);
      const std::string_view requestLine = std::string_view(head).substr(0, head.find("\r\n"));
      if (firstSpace == std::string::npos || secondSpace == std::string::npos) return;
      const std::string method = head.substr(0, firstSpace);
      const std::string path = head.substr(firstSpace + 1, secondSpace - firstSpace - 1);
      const bool close = lower(header(head, "connection")) == "close" || requestLine.ends_with("HTTP/1.0");

      std::shared_ptr<const Route> route = notFound_;
      {
        std::lock_guard lock(mutex_);
        requested_.push_back(path);
        heads_.push_back(head);
        if (auto found = routes_.find(path); found != routes_.end()) route = found->second;
      }
      ++requestCount_;
      if (const auto delay = std::chrono::milliseconds(delayMs_.load()); delay.count() > 0 && !pause(delay)) return;
      switch (route->fault) {
        case Fault::None:
          break;
        case Fault::Silent:
          while (receive(socket, buffer)) buffer.clear();
          return;
        case Fault::CloseAtOnce:
          return;
        case Fault::ResetMidBody: {
          const std::string all = render(route->response, false, true);
          sendAll(socket, all.substr(0, all.size() - route->response.body.size() / 2));
          // The half body leaves first: a reset throws away what is unsent.
          for (int unsent = 1; ::ioctl(socket, TIOCOUTQ, &unsent) == 0 && unsent > 0;)
            if (!pause(std::chrono::milliseconds(1))) return;
          const linger reset{1, 0};  // closing now sends RST
          ::setsockopt(socket, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
          return;
        }
        case Fault::Drip: {
          const std::string all = render(route->response, false, true);
          for (char c : all)
            if (!sendAll(socket, std::string_view(&c, 1)) || !pause(route->interval)) return;
          ::shutdown(socket, SHUT_WR);
          return;
        }
      }
      if (!sendAll(socket, render(route->response, method == "HEAD", close)) || close) {
        ::shutdown(socket, SHUT_WR);
        return;
      }
    }
  }

  int listener_ = -1;
  int wake_ = -1;
  std::uint16_t port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> connectionCount_{0};
  std::atomic<int> openConnections_{0};
  std::atomic<int> requestCount_{0};
  mutable std::mutex mutex_;
  std::map<std::string, std::shared_ptr<const Route>> routes_;
  const std::shared_ptr<const Route> notFound_ =
      std::make_shared<const Route>(Route{Response{404, "text/html", "not found"}});
  std::vector<std::string> requested_;
  std::vector<std::string> heads_;
  std::atomic<std::int64_t> delayMs_{0};
  std::vector<std::thread> connections_;  // touched by the acceptor only, until it is joined
  std::thread acceptor_;
};

// A loopback port that is bound but not listening: it refuses every
// connection.
class RefusingPort {
 public:
  RefusingPort() : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
      throw std::runtime_error("cannot bind a loopback port");
    port_ = ntohs(address.sin_port);
  }
  ~RefusingPort() { ::close(fd_); }
  RefusingPort(const RefusingPort&) = delete;
  RefusingPort& operator=(const RefusingPort&) = delete;
  std::string url(std::string_view path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
  }

 private:
  int fd_;
  std::uint16_t port_ = 0;
};

}  // namespace vantoril::test
