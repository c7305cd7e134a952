// Where the host's service log goes when its configured place cannot take
// it, and what the event log hears (through the notice the host hands it).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "service/service_log.h"

namespace runvo {
namespace {

namespace fs = std::filesystem;

std::string contentOf(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class ServiceLogPlace : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("runvo-log-place-" + std::to_string(GetCurrentProcessId()));
    fs::remove_all(root_);
    fs::create_directories(root_);
    std::ofstream(root_ / "file") << "keep";
  }
  void TearDown() override { fs::remove_all(root_); }

  // A log whose configured folder would lie below a file.
  std::string unwritable() const { return (root_ / "file" / "logs" / "svc.log").string(); }

  fs::path root_;
  std::vector<std::string> notices_;
};

TEST_F(ServiceLogPlace, AConfiguredPlaceThatCannotBeMadeFallsBackAndTheNoticeNamesBoth) {
  const fs::path fallback = root_ / "data" / "runvo" / "svc" / "logs" / "svc.log";
  ServiceLog log(unwritable(), {});
  log.fallBackTo(fallback.string(), [&](const std::string& text) { notices_.push_back(text); });
  log.line("service starting: svc");
  log.line("second");
  EXPECT_EQ(log.path(), fallback.string());
  ASSERT_EQ(notices_.size(), 1u);
  EXPECT_EQ(notices_[0].rfind("the service log " + unwritable() + " cannot be written (", 0), 0u) << notices_[0];
  EXPECT_NE(notices_[0].find("; it is written to " + fallback.string()), std::string::npos) << notices_[0];
  const std::string written = contentOf(fallback);
  EXPECT_NE(written.find("the service log " + unwritable() + " cannot be written ("), std::string::npos) << written;
  EXPECT_NE(written.find("service starting: svc"), std::string::npos) << written;
  EXPECT_NE(written.find("second"), std::string::npos) << written;
  EXPECT_EQ(contentOf(root_ / "file"), "keep");
  EXPECT_EQ(serviceLogToRead({unwritable(), fallback.string()}), fallback.string());
}

TEST_F(ServiceLogPlace, WhenNeitherPlaceCanBeWrittenTheNoticeCarriesBothReasonsOnce) {
  const std::string fallback = (root_ / "file" / "fallback" / "svc.log").string();
  ServiceLog log(unwritable(), {});
  log.fallBackTo(fallback, [&](const std::string& text) { notices_.push_back(text); });
  log.line("one");
  log.line("two");
  EXPECT_EQ(log.path(), unwritable());
  ASSERT_EQ(notices_.size(), 1u);
  EXPECT_NE(notices_[0].find(unwritable() + " cannot be written ("), std::string::npos) << notices_[0];
  EXPECT_NE(notices_[0].find(", nor can " + fallback + " ("), std::string::npos) << notices_[0];
  EXPECT_NE(notices_[0].find("); its lines are dropped"), std::string::npos) << notices_[0];
}

TEST_F(ServiceLogPlace, ALogStartedInItsPlaceStaysThere) {
  const fs::path configured = root_ / "logs" / "svc.log";
  const fs::path fallback = root_ / "data" / "svc.log";
  ServiceLog log(configured.string(), {});
  log.fallBackTo(fallback.string(), [&](const std::string& text) { notices_.push_back(text); });
  log.line("one");
  EXPECT_EQ(log.path(), configured.string());
  EXPECT_TRUE(notices_.empty());
  EXPECT_FALSE(fs::exists(fallback));
  EXPECT_EQ(serviceLogToRead({configured.string(), fallback.string()}), configured.string());
}

}  // namespace
}  // namespace runvo
