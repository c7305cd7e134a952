#include <gtest/gtest.h>

#include "service/health_rules.h"

namespace runvo {
namespace {

using Kind = HealthCheck::Kind;

TEST(HealthRules, ChecksAreReadFromTheirTexts) {
  struct Case {
    const char* text;
    Kind kind;
    const char* host;
    std::uint16_t port;
    const char* hostHeader;
    const char* path;
    const char* logText;
  };
  const Case cases[] = {
      {"tcp:8080", Kind::Tcp, "127.0.0.1", 8080, "", "/", ""},
      {"TCP:1", Kind::Tcp, "127.0.0.1", 1, "", "/", ""},
      {"http:http://127.0.0.1:8080/health", Kind::Http, "127.0.0.1", 8080, "127.0.0.1:8080", "/health", ""},
      {"http:http://localhost/", Kind::Http, "127.0.0.1", 80, "localhost", "/", ""},
      {"http:HTTP://LocalHost:9000", Kind::Http, "127.0.0.1", 9000, "LocalHost:9000", "/", ""},
      {"http:http://[::1]:8443/a?b=c", Kind::Http, "::1", 8443, "[::1]:8443", "/a?b=c", ""},
      {"http:http://[::1]/", Kind::Http, "::1", 80, "[::1]", "/", ""},
      {"log:Started Server@", Kind::Log, "127.0.0.1", 0, "", "/", "Started Server@"},
      {"log:a:b", Kind::Log, "127.0.0.1", 0, "", "/", "a:b"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::string error;
    const auto check = parseHealthCheck(c.text, true, error);
    ASSERT_TRUE(check) << error;
    EXPECT_EQ(check->kind, c.kind);
    EXPECT_EQ(check->host, c.host);
    EXPECT_EQ(check->port, c.port);
    EXPECT_EQ(check->hostHeader, c.hostHeader);
    EXPECT_EQ(check->path, c.path);
    EXPECT_EQ(check->text, c.logText);
  }
}

TEST(HealthRules, UnusableChecksAreRefusedWithTheAcceptedForms) {
  struct Case {
    const char* text;
    bool allowLog;
    const char* expected;
  };
  const Case cases[] = {
      {"tcp:0", true, "\"0\" is not a port from 1 to 65535"},
      {"tcp:65536", true, "\"65536\" is not a port from 1 to 65535"},
      {"tcp:80x", true, "\"80x\" is not a port"},
      {"tcp:", true, "\"\" is not a port"},
      {"http:https://127.0.0.1/", true, "is not an http:// URL"},
      {"http:http://example.com/", true, "\"example.com\" is not 127.0.0.1, localhost or [::1]"},
      {"http:http://10.0.0.1:80/", true, "\"10.0.0.1\" is not 127.0.0.1"},
      {"http:http://127.0.0.1:x/", true, "port \"x\" is not a number"},
      {"http:http://127.0.0.1/a b", true, "blank or a control character"},
      {"8080", true, "\"8080\" is not one of \"tcp:PORT\", \"http:http://127.0.0.1:PORT/PATH\" or \"log:TEXT\""},
      {"log:", true, "is not one of"},
      {"log:ready", false, "\"log:ready\" is not one of \"tcp:PORT\" or \"http:http://127.0.0.1:PORT/PATH\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::string error;
    EXPECT_FALSE(parseHealthCheck(c.text, c.allowLog, error));
    EXPECT_NE(error.find(c.expected), std::string::npos) << error;
  }
}

TEST(HealthRules, AnHttpCheckAsksForItsPathAndJudgesTheStatus) {
  std::string error;
  const auto check = parseHealthCheck("http:http://localhost:8080/ready", true, error);
  ASSERT_TRUE(check);
  EXPECT_EQ(httpRequest(*check),
            "GET /ready HTTP/1.1\r\nHost: localhost:8080\r\nUser-Agent: runvo-health-check\r\nConnection: close\r\n\r\n");
  for (const char* serves : {"HTTP/1.1 200 OK\r\n", "HTTP/1.0 204 No Content", "HTTP/1.1 302 Found", "http/1.1 399 x"}) {
    EXPECT_TRUE(httpAnswerServes(serves)) << serves;
  }
  for (const char* not_ : {"HTTP/1.1 404 Not Found", "HTTP/1.1 500 Server Error", "HTTP/1.1 199 x", "HTTP/1.1 2",
                           "", "SSH-2.0-OpenSSH", "HTTP/1.1 20x"}) {
    EXPECT_FALSE(httpAnswerServes(not_)) << not_;
  }
}

TEST(HealthRules, AnOutputLineIsFoundHoweverTheOutputIsCut) {
  struct Case {
    std::vector<std::string> pieces;
    bool found;
  };
  const Case cases[] = {
      {{"Started Server@1234\n"}, true},
      {{"Sta", "rted Ser", "ver@1234"}, true},
      {{"Started\nServer@"}, false},
      {{"Started\r", "Server@"}, false},
      {{std::string(10000, 'x'), "Started Server@"}, true},
      {{"Started Serv", std::string(1, '\n'), "er@"}, false},
      {{"noise\n", "more Started Server@ here\n"}, true},
  };
  for (const Case& c : cases) {
    OutputLineMatcher matcher("Started Server@");
    bool found = false;
    for (const std::string& piece : c.pieces) found = matcher.feed(piece) || found;
    EXPECT_EQ(found, c.found) << c.pieces.front().substr(0, 20);
    EXPECT_EQ(matcher.matched(), c.found);
  }
}

TEST(HealthRules, ReadinessAndLivenessOverTime) {
  const ReadinessWatch ready(120000, 1000);
  EXPECT_EQ(ready.checked(false, 1000), ReadinessWatch::Verdict::Waiting);
  EXPECT_EQ(ready.checked(false, 120999), ReadinessWatch::Verdict::Waiting);
  EXPECT_EQ(ready.checked(true, 120999), ReadinessWatch::Verdict::Ready);
  EXPECT_EQ(ready.checked(false, 121000), ReadinessWatch::Verdict::TimedOut);

  LivenessWatch alive(3);
  EXPECT_FALSE(alive.checked(false));
  EXPECT_FALSE(alive.checked(false));
  EXPECT_FALSE(alive.checked(true)) << "a success ends the row";
  EXPECT_FALSE(alive.checked(false));
  EXPECT_FALSE(alive.checked(false));
  EXPECT_TRUE(alive.checked(false));
  EXPECT_EQ(alive.failuresInARow(), 3u);
}

}  // namespace
}  // namespace runvo
