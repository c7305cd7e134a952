#include "service/health_rules.h"

#include <charconv>

#include "util/text.h"

namespace runvo {

namespace {
constexpr std::string_view kAcceptedForms = "\"tcp:PORT\", \"http:http://127.0.0.1:PORT/PATH\" or \"log:TEXT\"";
constexpr std::string_view kAcceptedLivenessForms = "\"tcp:PORT\" or \"http:http://127.0.0.1:PORT/PATH\"";

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && equalsIgnoringAsciiCase(text.substr(0, prefix.size()), prefix);
}

std::optional<std::uint16_t> parsePort(std::string_view text) {
  unsigned value = 0;
  const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || problem != std::errc() || end != text.data() + text.size() || value == 0 || value > 65535) {
    return std::nullopt;
  }
  return static_cast<std::uint16_t>(value);
}

// The loopback names a check may use, and the address each is connected to.
std::optional<std::string> loopbackAddress(std::string_view host) {
  if (equalsIgnoringAsciiCase(host, "localhost") || host == "127.0.0.1") return std::string("127.0.0.1");
  if (host == "[::1]") return std::string("::1");
  return std::nullopt;
}

bool parseHttpUrl(std::string_view url, HealthCheck& check, std::string& error) {
  constexpr std::string_view kScheme = "http://";
  if (!startsWithIgnoringCase(url, kScheme)) {
    error = "the URL \"" + std::string(url) + "\" is not an http:// URL (https is not checked: use the plain port)";
    return false;
  }
  url.remove_prefix(kScheme.size());
  const std::size_t slash = url.find('/');
  const std::string_view authority = url.substr(0, slash);
  check.path = slash == std::string_view::npos ? "/" : std::string(url.substr(slash));
  // An IPv6 address holds colons of its own: the port follows its bracket.
  const std::size_t colon = authority.rfind(':');
  const bool hasPort = colon != std::string_view::npos && authority.find(']', colon) == std::string_view::npos;
  const std::string_view host = hasPort ? authority.substr(0, colon) : authority;
  const auto address = loopbackAddress(host);
  if (!address) {
    error = "the URL's host \"" + std::string(host) +
            "\" is not 127.0.0.1, localhost or [::1]: checks stay on this machine";
    return false;
  }
  const auto port = hasPort ? parsePort(authority.substr(colon + 1)) : std::optional<std::uint16_t>(80);
  if (!port) {
    error = "the URL's port \"" + std::string(authority.substr(colon + 1)) + "\" is not a number from 1 to 65535";
    return false;
  }
  for (char c : check.path) {
    if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F) {
      error = "the URL's path holds a blank or a control character; write it with %20";
      return false;
    }
  }
  check.host = *address;
  check.port = *port;
  check.hostHeader = std::string(authority);
  return true;
}
}  // namespace

std::optional<HealthCheck> parseHealthCheck(std::string_view text, bool allowLog, std::string& error) {
  const std::string_view forms = allowLog ? kAcceptedForms : kAcceptedLivenessForms;
  const std::size_t colon = text.find(':');
  const std::string_view kind = text.substr(0, colon == std::string_view::npos ? text.size() : colon);
  const std::string_view value = colon == std::string_view::npos ? std::string_view() : text.substr(colon + 1);
  HealthCheck check;
  if (equalsIgnoringAsciiCase(kind, "tcp")) {
    const auto port = parsePort(value);
    if (!port) {
      error = "\"" + std::string(value) + "\" is not a port from 1 to 65535; the accepted forms are " +
              std::string(forms);
      return std::nullopt;
    }
    check.kind = HealthCheck::Kind::Tcp;
    check.port = *port;
    return check;
  }
  if (equalsIgnoringAsciiCase(kind, "http")) {
    check.kind = HealthCheck::Kind::Http;
    if (!parseHttpUrl(value, check, error)) return std::nullopt;
    return check;
  }
  if (allowLog && equalsIgnoringAsciiCase(kind, "log") && !value.empty()) {
    check.kind = HealthCheck::Kind::Log;
    check.text = std::string(value);
    return check;
  }
  error = "\"" + std::string(text) + "\" is not one of " + std::string(forms);
  return std::nullopt;
}

std::string httpRequest(const HealthCheck& check) {
  return "GET " + check.path + " HTTP/1.1\r\nHost: " + check.hostHeader +
         "\r\nUser-Agent: runvo-health-check\r\nConnection: close\r\n\r\n";
}

bool httpAnswerServes(std::string_view answer) {
  // "HTTP/1.x NNN ..."
  if (!startsWithIgnoringCase(answer, "HTTP/")) return false;
  const std::size_t space = answer.find(' ');
  if (space == std::string_view::npos || answer.size() < space + 4) return false;
  unsigned status = 0;
  const std::string_view digits = answer.substr(space + 1, 3);
  const auto [end, problem] = std::from_chars(digits.data(), digits.data() + digits.size(), status);
  if (problem != std::errc() || end != digits.data() + digits.size()) return false;
  return status >= 200 && status <= 399;
}

bool OutputLineMatcher::feed(std::string_view output) {
  if (matched_ || text_.empty()) return matched_;
  for (char c : output) {
    if (c == '\n' || c == '\r') {
      tail_.clear();
      continue;
    }
    tail_ += c;
    if (tail_.size() >= text_.size() && tail_.compare(tail_.size() - text_.size(), text_.size(), text_) == 0) {
      matched_ = true;
      tail_.clear();
      return true;
    }
    // Only the last characters can still begin a match.
    if (tail_.size() > 2 * text_.size()) tail_.erase(0, tail_.size() - text_.size());
  }
  return false;
}

ReadinessWatch::Verdict ReadinessWatch::checked(bool serves, std::uint64_t nowMs) const {
  if (serves) return Verdict::Ready;
  return nowMs - startMs_ >= timeoutMs_ ? Verdict::TimedOut : Verdict::Waiting;
}

bool LivenessWatch::checked(bool serves) {
  if (serves) {
    failures_ = 0;
    return false;
  }
  ++failures_;
  return failures_ == failuresAllowed_;
}

}  // namespace runvo
