#pragma once
// A small HTTP server on 127.0.0.1 for the Windows tests, a thread for each
// connection; answers from a table of routes.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>

#include "platform/Failure.h"
#include "platform/Services.h"
#include "platform/Text.h"
#include <thread>
#include <vector>

namespace vantoril::test {

class LoopbackServer {
 public:
  struct Response {
    int status = 200;
    std::string headers;  // each line ending in CR LF
    std::string body;
    bool neverAnswer = false;
    int delayMs = 0;
  };

  LoopbackServer() {
    WSADATA data;
    if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) throw std::runtime_error("WSAStartup failed");
    listener_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof address;
    if (listener_ == INVALID_SOCKET || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::listen(listener_, 16) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
      throw std::runtime_error("cannot listen on 127.0.0.1");
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { serve(); });
  }
  ~LoopbackServer() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    stop_.notify_all();
    ::closesocket(listener_);
    thread_.join();
    for (auto& connection : connections_) connection.join();
    ::WSACleanup();
  }
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  void route(const std::string& path, Response response) {
    std::lock_guard lock(mutex_);
    routes_[path] = std::move(response);
  }
  std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }
  // The heads of the requests read so far (request line and headers, without
  // the blank line), in order.
  std::vector<std::string> requestHeads() const {
    std::lock_guard lock(headsMutex_);
    return heads_;
  }
  // The most requests that were being answered at one time.
  int peakConnections() const { return peak_; }
  // Requests of a path that is never answered, still waiting (up to 10 s).
  int silentConnections() const { return silent_; }
  // The paths asked for, in the order their requests came in.
  std::vector<std::string> requestedPaths() {
    std::lock_guard lock(mutex_);
    return requestedPaths_;
  }

 private:
  void serve() {
    for (;;) {
      const SOCKET client = ::accept(listener_, nullptr, nullptr);
      if (client == INVALID_SOCKET) return;
      connections_.emplace_back([this, client] {
        answer(client);
        ::closesocket(client);
      });
    }
  }
  void answer(SOCKET client) {
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos) {
      const int n = ::recv(client, buffer, sizeof buffer, 0);
      if (n <= 0) return;
      request.append(buffer, static_cast<std::size_t>(n));
    }
    {
      std::lock_guard lock(headsMutex_);
      heads_.push_back(request.substr(0, request.find("\r\n\r\n")));
    }
    const std::size_t start = request.find(' ') + 1;
    const std::string path = request.substr(start, request.find(' ', start) - start);
    std::unique_lock lock(mutex_);
    requestedPaths_.push_back(path);
    const auto it = routes_.find(path);
    Response response = it != routes_.end() ? it->second : Response{404, "", "not found"};
    if (response.neverAnswer) {
      ++silent_;
      stop_.wait_for(lock, std::chrono::seconds(10), [&] { return stopping_; });
      --silent_;
      return;
    }
    peak_ = std::max(peak_.load(), ++active_);
    lock.unlock();
    std::this_thread::sleep_for(std::chrono::milliseconds(response.delayMs));
    --active_;
    const std::string reply = "HTTP/1.1 " + std::to_string(response.status) + " X\r\nContent-Length: " +
                              std::to_string(response.body.size()) + "\r\nConnection: close\r\n" + response.headers +
                              "\r\n" + response.body;
    ::send(client, reply.data(), static_cast<int>(reply.size()), 0);
  }

  SOCKET listener_ = INVALID_SOCKET;
  int port_ = 0;
  std::mutex mutex_;
  std::condition_variable stop_;
  bool stopping_ = false;
  std::atomic<int> active_ = 0, peak_ = 0, silent_ = 0;
  std::map<std::string, Response> routes_;
  std::vector<std::string> requestedPaths_;
  std::thread thread_;
  std::vector<std::thread> connections_;  // used by the accepting thread only
  mutable std::mutex headsMutex_;
  std::vector<std::string> heads_;
};

// What downloading `url` fails with; "no failure" when it does not.
inline std::string failureOf(Downloader& downloader, const std::string& url) {
  try {
    downloader.download(fromUtf8(url));
  } catch (const Failure& e) {
    return e.what();
  }
  return "no failure";
}

}  // namespace vantoril::test
