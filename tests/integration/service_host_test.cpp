// The service host under Wine's Service Control Manager: a launcher installed
// as a service runs its child with the jvm.dll test double, whose trace shows
// what reached the application; stop requests and the end of the child show
// in the states the manager reports.
#include <algorithm>
#include <chrono>
#include <fstream>
#include <thread>

#include "jvm_double_fixture.h"
#include "launcher_fixture.h"
#include "registry_scope.h"
#include "service_scope.h"
#include "util/unique_handle.h"

namespace runvo::testing {
namespace {

namespace fs = std::filesystem;
using Payload = PayloadBytes;
using namespace std::chrono_literals;

// Names with spaces, so that quoting on the way to the child is seen.
std::string spacedServiceName(const std::string& label) { return "runvo test " + label + " " + uniqueServiceName(); }

// A service of the test's own; stopped and deleted again however the test ends.
class TestService {
 public:
  TestService(const std::string& name, const fs::path& binary) : name_(name) {
    manager_.reset(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    const std::string path = "\"" + binary.string() + "\"";
    service_.reset(CreateServiceA(manager_.get(), name.c_str(), name.c_str(), SERVICE_ALL_ACCESS,
                                  SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                  path.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_TRUE(service_) << "CreateService " << GetLastError();
  }
  ~TestService() {
    if (!service_) return;
    SERVICE_STATUS status{};
    ControlService(service_.get(), SERVICE_CONTROL_STOP, &status);
    waitForState(SERVICE_STOPPED, 10s);
    DeleteService(service_.get());
  }

  bool start(const std::vector<std::string>& parameters = {}) {
    std::vector<const char*> argv;
    for (const std::string& p : parameters) argv.push_back(p.c_str());
    return StartServiceA(service_.get(), static_cast<DWORD>(argv.size()), argv.empty() ? nullptr : argv.data());
  }
  bool control(DWORD code) {
    SERVICE_STATUS status{};
    return ControlService(service_.get(), code, &status);
  }
  SERVICE_STATUS status() const {
    SERVICE_STATUS s{};
    QueryServiceStatus(service_.get(), &s);
    return s;
  }
  bool waitForState(DWORD state, std::chrono::milliseconds limit) const {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (status().dwCurrentState != state) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(50ms);
    }
    return true;
  }
  const std::string& name() const { return name_; }
  DWORD processId() const {
    SERVICE_STATUS_PROCESS s{};
    DWORD needed = 0;
    QueryServiceStatusEx(service_.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&s), sizeof s, &needed);
    return s.dwProcessId;
  }

 private:
  std::string name_;
  UniqueServiceHandle manager_;
  UniqueServiceHandle service_;
};

class ServiceHost : public JvmDoubleTest {
 protected:
  fs::path launcher(const fs::path& name = "svc.exe") {
    return makeLauncher(Payload::tables({{101, "configured"},
                                         {107, "0"},
                                         {122, "com.example.App"},
                                         {128, searchEntry()}}),
                        name);
  }
  // Waits until the trace holds the line.
  bool traced(const std::string& line, std::chrono::milliseconds limit = 10s) const {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!has(trace(), line)) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(50ms);
    }
    return true;
  }};

TEST_F(ServiceHost, AStopRequestReachesTheApplicationAsOneLine) {
  // main reads its standard input, then, after a pause, reads again.
  script("main: read-stdin\nmain: sleep-ms 1500\nmain: read-stdin\n");
  TestService service(spacedServiceName("stop"), launcher("path with space\\svc.exe"));
  ASSERT_TRUE(service.start({"a b", "plain"}));
  ASSERT_TRUE(service.waitForState(SERVICE_RUNNING, 10s));
  ASSERT_TRUE(traced("arg[7]=plain")) << joined(trace());
  // The service name and the start parameters arrive whole, spaces included.
  EXPECT_EQ(mainArguments(trace()), (Lines{"false", "com.example.App", "", "", "false", service.name(), "a b", "plain"}));

  ASSERT_TRUE(service.control(SERVICE_CONTROL_STOP));
  const SERVICE_STATUS pending = service.status();
  EXPECT_TRUE(pending.dwCurrentState == SERVICE_STOP_PENDING || pending.dwCurrentState == SERVICE_STOPPED);
  EXPECT_TRUE(traced("stdin 0")) << joined(trace());
  // A second request while the child still runs sends nothing more: the
  // application reads the end of its input.
  service.control(SERVICE_CONTROL_STOP);
  EXPECT_TRUE(traced("stdin <eof>")) << joined(trace());
  EXPECT_TRUE(service.waitForState(SERVICE_STOPPED, 15s));
  EXPECT_TRUE(has(trace(), "DestroyJavaVM"));
  EXPECT_EQ(service.status().dwWin32ExitCode, 0u);
}

TEST_F(ServiceHost, AChildThatEndsCleanlyByItselfStopsTheService) {
  // Far more output than a pipe holds: the host drains it.
  script("main: print-bytes 1048576\nmain: sleep-ms 500\n");
  TestService service(spacedServiceName("clean"), launcher());
  ASSERT_TRUE(service.start());
  ASSERT_TRUE(traced("DestroyJavaVM")) << joined(trace());
  EXPECT_TRUE(has(trace(), "printed 1048576"));
  EXPECT_TRUE(service.waitForState(SERVICE_STOPPED, 10s));
  EXPECT_EQ(service.status().dwWin32ExitCode, 0u);
}

TEST_F(ServiceHost, AChildThatFailsByItselfLeavesTheEndToTheManager) {
  script("main: throw\n");
  TestService service(spacedServiceName("fails"), launcher());
  ASSERT_TRUE(service.start());
  ASSERT_TRUE(service.waitForState(SERVICE_RUNNING, 10s));
  const DWORD hostId = service.processId();
  ASSERT_TRUE(traced("ExceptionDescribe")) << joined(trace());
  // The host ends without reporting a clean stop: Windows then records the
  // service as ended unexpectedly, Wine leaves it running.
  UniqueHandle hostProcess(OpenProcess(SYNCHRONIZE, FALSE, hostId));
  ASSERT_TRUE(hostProcess);
  EXPECT_EQ(WaitForSingleObject(hostProcess.get(), 10000), WAIT_OBJECT_0);
  const SERVICE_STATUS status = service.status();
  EXPECT_FALSE(status.dwCurrentState == SERVICE_STOPPED && status.dwWin32ExitCode == 0) << status.dwCurrentState;
}

TEST_F(ServiceHost, TheVerbsOnARunningService) {
  script("main: read-stdin\n");
  ServiceScope services;
  const std::string name = services.fresh();
  const fs::path exe = launcher();
  auto verb = [&](const std::string& text) {
    return run(exe, {.arguments = std::wstring(text.begin(), text.end()) + L" " +
                                  std::wstring(name.begin(), name.end())});
  };
  const std::string quoted = "'" + name + "'";

  ASSERT_EQ(verb("/install-auto").exitCode, 0u);
  LauncherRun r = verb("/start");
  EXPECT_EQ(r.out, "Starting service " + quoted + ".\r\n");
  EXPECT_EQ(r.exitCode, 0u);
  ASSERT_TRUE(traced("CallStaticVoidMethod com/runvo/runtime/WinLauncher.main args=6")) << joined(trace());

  r = verb("/start");
  EXPECT_EQ(r.out, "Service is already running.\r\n");
  EXPECT_EQ(r.exitCode, 0u);
  r = verb("/status");
  EXPECT_EQ(r.out, "Running.\r\nAuto-start.\r\n");
  EXPECT_EQ(r.exitCode, 0u);

  r = verb("/stop");
  EXPECT_EQ(r.out, "Stopping service " + quoted + ".\r\nService stopped\r\n");
  EXPECT_EQ(r.exitCode, 0u);
  EXPECT_TRUE(has(trace(), "stdin 0")) << joined(trace());
  r = verb("/status");
  EXPECT_EQ(r.out, "Not running.\r\nAuto-start.\r\n");
  EXPECT_EQ(r.exitCode, 3u);

  // Uninstalling a running service stops it first.
  fs::remove(jvmDir_ / "jvm.dll.trace");
  ASSERT_EQ(verb("/start").exitCode, 0u);
  ASSERT_TRUE(traced("CallStaticVoidMethod com/runvo/runtime/WinLauncher.main args=6")) << joined(trace());
  r = verb("/uninstall");
  EXPECT_EQ(r.out, "Stopping service " + quoted + ".\r\nService stopped\r\nUninstalled service " + quoted + ".\r\n");
  EXPECT_EQ(r.exitCode, 0u);
}

}  // namespace
}  // namespace runvo::testing
