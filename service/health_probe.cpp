#include "service/health_probe.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstring>

#include "util/win_text.h"

namespace runvo {

namespace {
// The few Winsock functions a check needs, from ws2_32.dll loaded on first use.
struct Winsock {
  decltype(&::WSAStartup) startup = nullptr;
  decltype(&::socket) socket = nullptr;
  decltype(&::connect) connect = nullptr;
  decltype(&::ioctlsocket) ioctl = nullptr;
  decltype(&::select) select = nullptr;
  decltype(&::getsockopt) getOption = nullptr;
  decltype(&::send) send = nullptr;
  decltype(&::recv) receive = nullptr;
  decltype(&::closesocket) close = nullptr;
  bool ready = false;
};

template <typename Function>
void find(HMODULE library, const char* name, Function& into) {
  into = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

const Winsock& winsock() {
  static const Winsock loaded = [] {
    Winsock w;
    const HMODULE library = LoadLibraryW(L"ws2_32.dll");
    if (!library) return w;
    find(library, "WSAStartup", w.startup);
    find(library, "socket", w.socket);
    find(library, "connect", w.connect);
    find(library, "ioctlsocket", w.ioctl);
    find(library, "select", w.select);
    find(library, "getsockopt", w.getOption);
    find(library, "send", w.send);
    find(library, "recv", w.receive);
    find(library, "closesocket", w.close);
    WSADATA data{};
    w.ready = w.startup && w.socket && w.connect && w.ioctl && w.select && w.getOption && w.send && w.receive &&
              w.close && w.startup(MAKEWORD(2, 2), &data) == 0;
    return w;
  }();
  return loaded;
}

class Connection {
 public:
  explicit Connection(SOCKET s) : socket_(s) {}
  ~Connection() {
    if (socket_ != INVALID_SOCKET) winsock().close(socket_);
  }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  SOCKET get() const { return socket_; }

 private:
  SOCKET socket_;
};

// Waits until the socket can be written (connected) or read; false on time-out.
bool waitFor(SOCKET socket, bool forWriting, DWORD untilTick) {
  const LONG left = static_cast<LONG>(untilTick - GetTickCount());
  if (left <= 0) return false;
  fd_set ready{};
  fd_set failed{};
  ready.fd_count = 1;
  ready.fd_array[0] = socket;
  failed.fd_count = 1;
  failed.fd_array[0] = socket;
  timeval wait{left / 1000, (left % 1000) * 1000};
  const int count = winsock().select(0, forWriting ? nullptr : &ready, forWriting ? &ready : nullptr, &failed, &wait);
  return count > 0 && ready.fd_count == 1;
}

// Connected to the check's address, or the reason why not.
bool connectTo(const HealthCheck& check, Connection& connection, DWORD untilTick, std::string& detail) {
  const Winsock& w = winsock();
  sockaddr_storage address{};
  int length = 0;
  if (check.host == "::1") {
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&address);
    v6->sin6_family = AF_INET6;
    v6->sin6_port = static_cast<USHORT>((check.port >> 8) | ((check.port & 0xFF) << 8));
    v6->sin6_addr.s6_addr[15] = 1;
    length = sizeof *v6;
  } else {
    auto* v4 = reinterpret_cast<sockaddr_in*>(&address);
    v4->sin_family = AF_INET;
    v4->sin_port = static_cast<USHORT>((check.port >> 8) | ((check.port & 0xFF) << 8));
    const unsigned char loopback[4] = {127, 0, 0, 1};
    std::memcpy(&v4->sin_addr, loopback, sizeof loopback);
    length = sizeof *v4;
  }
  u_long nonBlocking = 1;
  w.ioctl(connection.get(), FIONBIO, &nonBlocking);
  if (w.connect(connection.get(), reinterpret_cast<sockaddr*>(&address), length) == 0) return true;
  if (!waitFor(connection.get(), true, untilTick)) {
    int error = 0;
    int size = sizeof error;
    w.getOption(connection.get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size);
    detail = error != 0 ? "no connection to port " + std::to_string(check.port) + ": " + systemErrorText(error)
                        : "no connection to port " + std::to_string(check.port) + " in time";
    return false;
  }
  return true;
}

// The answer's first line, as far as it came in time.
std::string firstLine(const Connection& connection, DWORD untilTick) {
  std::string answer;
  char buffer[512];
  while (answer.find('\n') == std::string::npos && answer.size() < 4096) {
    if (!waitFor(connection.get(), false, untilTick)) break;
    const int got = winsock().receive(connection.get(), buffer, sizeof buffer, 0);
    if (got <= 0) break;
    answer.append(buffer, static_cast<std::size_t>(got));
  }
  const std::size_t end = answer.find_first_of("\r\n");
  return end == std::string::npos ? answer : answer.substr(0, end);
}
}  // namespace

ProbeResult probeServes(const HealthCheck& check, std::uint32_t timeoutMs) {
  const Winsock& w = winsock();
  if (!w.ready) return {false, "Winsock is not available"};
  const DWORD untilTick = GetTickCount() + timeoutMs;
  Connection connection(w.socket(check.host == "::1" ? AF_INET6 : AF_INET, SOCK_STREAM, IPPROTO_TCP));
  if (connection.get() == INVALID_SOCKET) return {false, "no socket"};
  ProbeResult result;
  if (!connectTo(check, connection, untilTick, result.detail)) return result;
  if (check.kind == HealthCheck::Kind::Tcp) return {true, "port " + std::to_string(check.port) + " accepts"};
  const std::string request = httpRequest(check);
  const int length = static_cast<int>(request.size());
  if (w.send(connection.get(), request.data(), length, 0) != length) {
    return {false, "the request could not be sent"};
  }
  const std::string line = firstLine(connection, untilTick);
  if (line.empty()) return {false, "no answer to GET " + check.path + " in time"};
  return {httpAnswerServes(line), line};
}

}  // namespace runvo
