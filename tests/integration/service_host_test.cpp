// The service host under Wine's Service Control Manager: a launcher installed
// as a service runs its child with the jvm.dll test double, whose trace shows
// what reached the application; stop requests and the end of the child show
// in the states the manager reports.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <regex>
#include <thread>
#include <functional>

#include "jvm_double_fixture.h"
#include "launcher_fixture.h"
#include "registry_scope.h"
#include "service_scope.h"
#include "util/unique_handle.h"

#include <winsock2.h>
#include <tlhelp32.h>

#include <atomic>
#include <mutex>

namespace runvo::testing {
namespace {

namespace fs = std::filesystem;
using Payload = PayloadBytes;
using Entries = std::vector<std::pair<std::int32_t, std::string>>;
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

// Where a service's log goes when its folder cannot take it; removed at the
// end, as the service never removes it.
struct FallbackFolder {
  explicit FallbackFolder(const std::string& serviceName) {
    char programData[MAX_PATH] = {};
    EXPECT_GT(GetEnvironmentVariableA("ProgramData", programData, MAX_PATH), 0u);
    path = fs::path(programData) / "runvo" / serviceName;
  }
  ~FallbackFolder() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
  }
  fs::path path;
};

// The process id the service log names for the latest child.
DWORD childProcessId(const fs::path& serviceLog) {
  DWORD id = 0;
  for (const std::string& line : splitLines(readFile(serviceLog))) {
    const std::size_t at = line.find("child process id ");
    if (at != std::string::npos) id = static_cast<DWORD>(std::stoul(line.substr(at + 17)));
  }
  return id;
}

// The verbs of one executable on one service, the name quoted as cmd needs
// it, with how long the last one took.
class Verbs {
 public:
  Verbs(std::function<LauncherRun(const std::wstring&)> run, const std::string& name)
      : run_(std::move(run)), name_(name) {}
  LauncherRun operator()(const std::string& verb) {
    const auto start = std::chrono::steady_clock::now();
    LauncherRun r = run_(std::wstring(verb.begin(), verb.end()) + L" \"" + std::wstring(name_.begin(), name_.end()) +
                         L"\"");
    took = std::chrono::steady_clock::now() - start;
    return r;
  }
  std::string quoted() const { return "'" + name_ + "'"; }
  std::chrono::steady_clock::duration took{};

 private:
  std::function<LauncherRun(const std::wstring&)> run_;
  std::string name_;
};

class ServiceHost : public JvmDoubleTest {
 protected:
  fs::path launcher(const fs::path& name = "svc.exe") { return launcherWith({}, name); }
  Verbs verbsOf(const fs::path& exe, const std::string& name) {
    return Verbs([this, exe](const std::wstring& arguments) { return run(exe, {.arguments = arguments}); }, name);
  }
  // A console application of the stand-in's, with these entries besides.
  fs::path launcherWith(const Entries& extra, const fs::path& name) {
    Entries entries{{101, "configured"}, {107, "0"}, {122, "com.example.App"}, {128, searchEntry()}};
    entries.insert(entries.end(), extra.begin(), extra.end());
    return makeLauncher(Payload::tables(entries), name);
  }
  template <typename Condition>
  static bool waitUntil(Condition done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(50ms);
    }
    return true;
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

// The signature follows the payload; the host reads the payload all the same.
TEST_F(ServiceHost, ASignedExecutableRunsAsAService) {
  script("main: sleep-ms 300\n");
  const fs::path binary = launcher();
  const ProcessResult signing = sign(binary);
  ASSERT_EQ(signing.exitCode, 0u) << signing.out << signing.err;
  TestService service(spacedServiceName("signed"), binary);
  ASSERT_TRUE(service.start());
  ASSERT_TRUE(traced("DestroyJavaVM")) << joined(trace());
  EXPECT_TRUE(service.waitForState(SERVICE_STOPPED, 10s));
  EXPECT_EQ(service.status().dwWin32ExitCode, 0u);
}

TEST_F(ServiceHost, AChildThatFailsByItselfIsReportedAsAFailure) {
  script("main: throw\n");
  TestService service(spacedServiceName("fails"), launcher());
  ASSERT_TRUE(service.start());
  ASSERT_TRUE(traced("ExceptionDescribe")) << joined(trace());
  ASSERT_TRUE(service.waitForState(SERVICE_STOPPED, 10s));
  // Stopped, but as a failure with the child's exit code: never as a success.
  const SERVICE_STATUS status = service.status();
  EXPECT_EQ(status.dwCurrentState, SERVICE_STOPPED);
  EXPECT_EQ(status.dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR));
  EXPECT_EQ(status.dwServiceSpecificExitCode, 1u);
}

TEST_F(ServiceHost, TheServiceRunsOnlyOnceMainIsCalled) {
  // A VM that takes its time: the service is start pending meanwhile, with
  // checkpoints that rise, and running only when main is being called.
  script("create-sleep-ms: 2500\nmain: read-stdin\n");
  TestService service(spacedServiceName("slow"), launcher());
  ASSERT_TRUE(service.start());
  ASSERT_TRUE(service.waitForState(SERVICE_START_PENDING, 5s));
  std::this_thread::sleep_for(1200ms);
  const SERVICE_STATUS pending = service.status();
  EXPECT_EQ(pending.dwCurrentState, SERVICE_START_PENDING);
  EXPECT_GE(pending.dwCheckPoint, 2u);
  EXPECT_GT(pending.dwWaitHint, 0u);
  EXPECT_FALSE(has(trace(), "CallStaticVoidMethod com/runvo/runtime/WinLauncher.main args=6"));
  ASSERT_TRUE(service.waitForState(SERVICE_RUNNING, 10s));
  EXPECT_TRUE(traced("CallStaticVoidMethod com/runvo/runtime/WinLauncher.main args=6", 1s)) << joined(trace());
}

TEST_F(ServiceHost, FailuresBeforeTheApplicationRunsAreSaidByStartAndTheServiceLog) {
  struct Case {
    const char* label;
    const char* script;
    Entries extra;
    const char* reason;  // in /start's standard error and in the service log
  };
  const std::string jre = searchEntry();
  const Case cases[] = {
      {"no runtime launcher class", "missing-class: com/runvo/runtime/WinLauncher\n", {}, "Couldn't load main class."},
      {"a minimum above the installed version", "", {{126, "99"}}, "version 17.0.2 is below the minimum 99"},
      {"a VM option the VM refuses", "create-result: -1\n", {}, "JNI_CreateJavaVM returned -1"},
      {"a missing class-path jar", "", {{121, "A1missing.jar"}}, "missing.jar is missing"},
      {"no search entries", "", {{128, ""}}, "No Java runtime was found where the search looked."},
      {"main throws at once", "main: throw\n", {}, "Exception"},
  };
  ServiceScope services;
  int index = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    script(c.script);
    const std::string name = services.fresh();
    Entries entries{{101, name}, {107, "0"}, {122, "com.example.App"}, {128, jre}, {30004, "2"},
                    {1006, "{0} is missing"}, {1010, "Couldn't load main class."}, {1016, "No JVM found."}};
    for (const auto& entry : c.extra) entries.push_back(entry);
    const fs::path exe = makeLauncher(Payload::tables(entries), "f" + std::to_string(index++) + ".exe");
    const std::wstring wideName(name.begin(), name.end());
    ASSERT_EQ(run(exe, {.arguments = L"/install " + wideName}).exitCode, 0u);
    const LauncherRun start = run(exe, {.arguments = L"/start " + wideName});
    EXPECT_EQ(start.exitCode, 1u) << start.out << start.err;
    EXPECT_EQ(start.out, "Starting service '" + name + "'.\r\nService '" + name + "' stopped while starting.\r\n");
    EXPECT_NE(start.err.find(c.reason), std::string::npos) << start.err;
    const std::string log = readFile(dir_ / "logs" / (name + ".log"));
    EXPECT_NE(log.find(c.reason), std::string::npos) << log;
    // The line the event log got.
    EXPECT_NE(log.find("event log: Service '" + name + "' failed: the application ended with exit code 1."),
              std::string::npos)
        << log;
  }
}

TEST_F(ServiceHost, TheChildsOutputGoesToTheServiceLogWhichRollsOver) {
  script("main: print-bytes 300000\n");
  const std::string name = spacedServiceName("rolls");
  const fs::path exe = launcherWith({{30001, "service logs"}, {30002, "100000"}, {30003, "2"}}, "rolls.exe");
  TestService service(name, exe);
  ASSERT_TRUE(service.start());
  ASSERT_TRUE(traced("DestroyJavaVM")) << joined(trace());
  ASSERT_TRUE(service.waitForState(SERVICE_STOPPED, 10s));
  const fs::path log = dir_ / "service logs" / (name + ".log");
  // 300000 bytes in lines of at most 64 KiB, rolled at 100000 bytes, two old files kept.
  ASSERT_TRUE(fs::exists(log));
  EXPECT_TRUE(fs::exists(log.string() + ".1"));
  EXPECT_TRUE(fs::exists(log.string() + ".2"));
  EXPECT_FALSE(fs::exists(log.string() + ".3"));
  std::uintmax_t output = 0;
  for (const fs::path& file : {log, fs::path(log.string() + ".1"), fs::path(log.string() + ".2")}) {
    EXPECT_LE(fs::file_size(file), 100000u + 65536u) << file;
    for (const std::string& line : splitLines(readFile(file))) {
      const std::size_t o = line.find_first_not_of('o', 24);
      if (line.size() > 24 && line[24] == 'o' && o == std::string::npos) output += line.size() - 24;
    }
  }
  EXPECT_GT(output, 0u);
  const std::string last = readFile(log);
  EXPECT_NE(last.find("child exited with code 0"), std::string::npos) << last;
  EXPECT_NE(last.find("state: stopped"), std::string::npos) << last;
}

TEST_F(ServiceHost, StatusFindsTheLatestStartInARolledOverLog) {
  // The start's lines roll away under the output that follows them: three
  // pieces of 64 KiB (one line without an end) roll the log three times.
  script("main: print-bytes 200000\nmain: read-stdin\n");
  const std::string name = spacedServiceName("rolled status");
  const fs::path exe = launcherWith({{30002, "30000"}, {30003, "5"}}, "rolled-status.exe");
  TestService service(name, exe);
  ASSERT_TRUE(service.start());
  ASSERT_TRUE(service.waitForState(SERVICE_RUNNING, 10s));
  const fs::path log = dir_ / "logs" / (name + ".log");
  ASSERT_TRUE(waitUntil([&] { return fs::exists(log.string() + ".3"); }, 10s));
  ASSERT_EQ(readFile(log).find("service starting"), std::string::npos) << "the start is in a rolled file";
  const LauncherRun status = verbsOf(exe, name)("/status");
  EXPECT_EQ(status.exitCode, 0u);
  EXPECT_NE(status.out.find("\r\nApplication process id: "), std::string::npos) << status.out;
  EXPECT_NE(status.out.find("\r\nRunning for: "), std::string::npos) << status.out;
}

// A file time `days` before now, and the local date it falls on, as the
// service log names a daily roll.
struct DaysAgo {
  FILETIME time;
  std::string date;
};
DaysAgo daysAgo(int days) {
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER value{{now.dwLowDateTime, now.dwHighDateTime}};
  value.QuadPart -= static_cast<ULONGLONG>(days) * 86400ull * 10000000ull;
  const FILETIME then{value.LowPart, value.HighPart};
  FILETIME local{};
  SYSTEMTIME t{};
  FileTimeToLocalFileTime(&then, &local);
  FileTimeToSystemTime(&local, &t);
  char date[16];
  std::snprintf(date, sizeof date, "%04d-%02d-%02d", t.wYear, t.wMonth, t.wDay);
  return {then, date};
}

void writeFileLastWritten(const fs::path& path, const std::string& text, const FILETIME& lastWrite) {
  std::ofstream(path, std::ios::binary) << text;
  UniqueHandle file(CreateFileW(path.wstring().c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(file && SetFileTime(file.get(), nullptr, nullptr, &lastWrite)) << path << " " << GetLastError();
}

TEST_F(ServiceHost, ADailyLogRollsTheLinesOfAnEarlierDayAndDropsRolledFilesPastTheirAge) {
  script("main: print-bytes 10\n");
  const std::string name = spacedServiceName("daily");
  const fs::path exe = launcherWith({{30001, "daily logs"}, {30028, "1"}, {30029, "7"}}, "daily.exe");
  const fs::path folder = dir_ / "daily logs";
  const fs::path log = folder / (name + ".log");
  fs::create_directories(folder);
  // The log of the service's last run, three days ago, and two rolled ones.
  const DaysAgo lastRun = daysAgo(3), recent = daysAgo(5), expired = daysAgo(20);
  writeFileLastWritten(log, "a line of the last run\r\n", lastRun.time);
  const fs::path recentFile = log.string() + "." + recent.date, expiredFile = log.string() + "." + expired.date;
  writeFileLastWritten(recentFile, "recent\r\n", recent.time);
  writeFileLastWritten(expiredFile, "expired\r\n", expired.time);
  fs::create_directory(log.string() + ".1");  // named like a rolled file, but no file of the log's

  TestService service(name, exe);
  ASSERT_TRUE(service.start());
  ASSERT_TRUE(service.waitForState(SERVICE_STOPPED, 10s));
  const std::string rolled = readFile(log.string() + "." + lastRun.date);
  EXPECT_EQ(rolled, "a line of the last run\r\n");
  const std::string current = readFile(log);
  EXPECT_EQ(current.find("a line of the last run"), std::string::npos) << current;
  EXPECT_NE(current.find("state: stopped"), std::string::npos) << current;
  EXPECT_TRUE(fs::exists(recentFile));
  EXPECT_FALSE(fs::exists(expiredFile)) << "older than log_kept_days";
  EXPECT_TRUE(fs::is_directory(log.string() + ".1"));
}

TEST_F(ServiceHost, ALogHeldOpenElsewhereIsWrittenOnAndSaysSoOnce) {
  script("main: print-bytes 300000\n");
  const std::string name = spacedServiceName("held");
  const fs::path exe = launcherWith({{30001, "held logs"}, {30002, "100000"}, {30003, "2"}}, "held.exe");
  const fs::path log = dir_ / "held logs" / (name + ".log");
  fs::create_directories(log.parent_path());
  std::ofstream(log, std::ios::binary) << "before\r\n";
  // Open without FILE_SHARE_DELETE, as an editor or a log shipper may hold it: no rename.
  UniqueHandle holder(CreateFileW(log.wstring().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(holder) << GetLastError();

  TestService service(name, exe);
  ASSERT_TRUE(service.start());
  ASSERT_TRUE(service.waitForState(SERVICE_STOPPED, 10s));
  holder.reset();
  EXPECT_FALSE(fs::exists(log.string() + ".1"));
  const std::string text = readFile(log);
  std::size_t notices = 0, output = 0;
  for (const std::string& line : splitLines(text)) {
    if (line.find("the service log could not be rolled over") != std::string::npos) ++notices;
    if (line.size() > 24 && line.find_first_not_of('o', 24) == std::string::npos) output += line.size() - 24;
  }
  EXPECT_EQ(notices, 1u) << "said once, however often the roll was due";
  EXPECT_EQ(output, 300000u) << "no byte of the output lost";
  EXPECT_EQ(text.rfind("before\r\n", 0), 0u);
  EXPECT_NE(text.find("state: stopped"), std::string::npos);
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
  // One fact a line, from the service log: the application's process, how
  // long the service runs, its restarts.
  const std::string childId = std::to_string(childProcessId(dir_ / "logs" / (name + ".log")));
  EXPECT_TRUE(std::regex_match(r.out, std::regex("Running\\.\r\nApplication process id: " + childId +
                                                 "\r\nRunning for: [0-9]+ s\r\nRestarts: 0\r\nAuto-start\\.\r\n")))
      << r.out;
  EXPECT_EQ(r.exitCode, 0u);

  // Installed again while it runs: updated in place, and it runs on.
  r = verb("/install-demand");
  EXPECT_EQ(r.out, "Updated service " + quoted +
                       ".\r\nThe service runs on: its registration changed now; the application gets this "
                       "executable's payload at its next start.\r\n")
      << r.err;
  EXPECT_EQ(r.exitCode, 0u);
  EXPECT_EQ(verb("/status").exitCode, 0u);
  EXPECT_EQ(queryServiceConfig(name)->startType, static_cast<DWORD>(SERVICE_DEMAND_START));
  ASSERT_EQ(verb("/install-auto").exitCode, 0u);

  r = verb("/stop");
  EXPECT_EQ(r.out, "Stopping service " + quoted + ".\r\nService stopped\r\n");
  EXPECT_EQ(r.exitCode, 0u);
  EXPECT_TRUE(has(trace(), "stdin 0")) << joined(trace());
  r = verb("/status");
  EXPECT_EQ(r.out, "Not running.\r\nLast exit code: 0\r\nAuto-start.\r\n");
  EXPECT_EQ(r.exitCode, 3u);

  // Uninstalling a running service stops it first.
  fs::remove(jvmDir_ / "jvm.dll.trace");
  ASSERT_EQ(verb("/start").exitCode, 0u);
  ASSERT_TRUE(traced("CallStaticVoidMethod com/runvo/runtime/WinLauncher.main args=6")) << joined(trace());
  r = verb("/uninstall");
  EXPECT_EQ(r.out, "Stopping service " + quoted + ".\r\nService stopped\r\nUninstalled service " + quoted + ".\r\n");
  EXPECT_EQ(r.exitCode, 0u);
}

// Every thread of a process, suspended; resume them with ResumeThread.
std::vector<UniqueHandle> suspendThreadsOf(DWORD processId) {
  std::vector<UniqueHandle> threads;
  UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
  THREADENTRY32 entry{sizeof entry};
  for (BOOL more = Thread32First(snapshot.get(), &entry); more; more = Thread32Next(snapshot.get(), &entry)) {
    if (entry.th32OwnerProcessID != processId) continue;
    UniqueHandle thread(OpenThread(THREAD_SUSPEND_RESUME, FALSE, entry.th32ThreadID));
    if (thread && SuspendThread(thread.get()) != static_cast<DWORD>(-1)) threads.push_back(std::move(thread));
  }
  return threads;
}

// A stop request sent straight to the service manager, as another tool (or
// a shutdown) sends it; it does not wait.
void requestStop(const std::string& name) {
  const UniqueServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
  const UniqueServiceHandle service(OpenServiceA(manager.get(), name.c_str(), SERVICE_STOP));
  SERVICE_STATUS status{};
  EXPECT_TRUE(ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) << GetLastError();
}

TEST_F(ServiceHost, TheVerbsFollowAServiceThatTakesSecondsToStop) {
  // As a real server stops: the stop line arrives, and the end comes seconds later.
  script("main: read-stdin\nmain: sleep-ms 3000\n");
  ServiceScope services;
  const std::string name = services.fresh();
  const fs::path exe = launcher("slowstop.exe");
  Verbs verb = verbsOf(exe, name);
  const std::string stopped = "Stopping service " + verb.quoted() + ".\r\nService stopped\r\n";
  const std::string starting = "Starting service " + verb.quoted() + ".\r\n";
  ASSERT_EQ(verb("/install").exitCode, 0u);
  ASSERT_EQ(verb("/start").exitCode, 0u);

  LauncherRun r = verb("/stop");
  EXPECT_EQ(r.out, stopped) << r.err;
  EXPECT_EQ(r.exitCode, 0u);
  EXPECT_GE(verb.took, 3s) << "/stop returned before the service had stopped";
  EXPECT_EQ(verb("/status").exitCode, 3u);

  // Right after a stop, a start starts it again.
  r = verb("/start");
  EXPECT_EQ(r.out, starting) << r.err;
  EXPECT_EQ(r.exitCode, 0u);
  EXPECT_EQ(verb("/status").exitCode, 0u);

  // Typed while another stop is under way: /start waits for it, then starts.
  requestStop(name);
  r = verb("/start");
  EXPECT_EQ(r.out, "Service " + verb.quoted() + " is stopping; it is started once it has stopped.\r\n" + starting)
      << r.err;
  EXPECT_EQ(r.exitCode, 0u);
  EXPECT_GE(verb.took, 2s);
  EXPECT_EQ(verb("/status").exitCode, 0u);

  // /stop follows a stop that is under way just as well.
  requestStop(name);
  r = verb("/stop");
  EXPECT_EQ(r.out, stopped) << r.err;
  EXPECT_EQ(r.exitCode, 0u);
  EXPECT_EQ(verb("/status").exitCode, 3u);

  // /restart of a stopped service simply starts it; of a running one, it
  // stops it first, following the whole stop.
  r = verb("/restart");
  EXPECT_EQ(r.out, starting) << r.err;
  EXPECT_EQ(r.exitCode, 0u);
  r = verb("/restart");
  EXPECT_EQ(r.out, stopped + starting) << r.err;
  EXPECT_EQ(r.exitCode, 0u);
  EXPECT_GE(verb.took, 3s);
  EXPECT_EQ(verb("/status").exitCode, 0u);

  // /uninstall during a stop: the service is gone only once it has stopped.
  requestStop(name);
  r = verb("/uninstall");
  EXPECT_EQ(r.out, stopped + "Uninstalled service " + verb.quoted() + ".\r\n") << r.err;
  EXPECT_EQ(r.exitCode, 0u);
  EXPECT_FALSE(serviceExists(name));
}

TEST_F(ServiceHost, TheVerbsFollowAStartLongerThanItsFirstWaitHint) {
  // The VM takes longer to come up than the first wait hint the host reports:
  // /start follows the rising checkpoints instead of giving up.
  script("create-sleep-ms: 12000\nmain: read-stdin\nmain: sleep-ms 1000\n");
  ServiceScope services;
  const std::string name = services.fresh();
  const fs::path exe = launcher("slowstart.exe");
  Verbs verb = verbsOf(exe, name);
  ASSERT_EQ(verb("/install").exitCode, 0u);
  LauncherRun r = verb("/start");
  EXPECT_EQ(r.out, "Starting service " + verb.quoted() + ".\r\n") << r.err;
  EXPECT_EQ(r.exitCode, 0u);
  EXPECT_GE(verb.took, 12s);
  EXPECT_EQ(verb("/status").exitCode, 0u);
  ASSERT_EQ(verb("/stop").exitCode, 0u);

  // /stop while the service is still starting: the stop line is kept until
  // the application can read it, and /stop waits for the end.
  script("create-sleep-ms: 3000\nmain: read-stdin\nmain: sleep-ms 1000\n");
  fs::remove(jvmDir_ / "jvm.dll.trace");
  TestService direct(spacedServiceName("stop during start"), exe);
  ASSERT_TRUE(direct.start());
  Verbs directVerb = verbsOf(exe, direct.name());
  r = directVerb("/stop");
  EXPECT_EQ(r.out, "Stopping service " + directVerb.quoted() + ".\r\nService stopped\r\n") << r.err;
  EXPECT_EQ(r.exitCode, 0u);
  EXPECT_TRUE(has(trace(), "stdin 0")) << joined(trace());
}

TEST_F(ServiceHost, AStopThatMakesNoProgressIsAFailureOfStop) {
  // A host that no longer reports anything (here: held still from outside)
  // looks hung once its wait hint has passed: /stop says so and fails.
  script("main: sleep-ms 600000\n");
  const std::string name = spacedServiceName("hung stop");
  const fs::path exe = launcherWith({{30005, "1"}}, "hung.exe");
  TestService service(name, exe);
  ASSERT_TRUE(service.start());
  ASSERT_TRUE(service.waitForState(SERVICE_RUNNING, 10s));
  requestStop(name);
  std::vector<UniqueHandle> held = suspendThreadsOf(service.processId());
  ASSERT_FALSE(held.empty());
  Verbs verb = verbsOf(exe, name);
  const LauncherRun r = verb("/stop");
  for (const UniqueHandle& thread : held) ResumeThread(thread.get());
  EXPECT_EQ(r.out, "Stopping service '" + name + "'.\r\nError while stopping service\r\n");
  EXPECT_NE(r.err.find("The service is still stopping: it made no progress within 6000 ms"), std::string::npos)
      << r.err;
  EXPECT_EQ(r.exitCode, 1u);
  EXPECT_GE(verb.took, 5s);
  EXPECT_TRUE(service.waitForState(SERVICE_STOPPED, 15s)) << "resumed, the host ends the stop";
}

class RestartInTheHost : public ServiceHost {
 protected:
  fs::path restarting(const std::string& policy, const std::string& delaySeconds, const std::string& limit) {
    return launcherWith({{30016, policy}, {30017, delaySeconds}, {30018, delaySeconds}, {30020, limit}},
                        "restart-" + policy + ".exe");
  }
  std::string serviceLog(const std::string& name) const { return readFile(dir_ / "logs" / (name + ".log")); }
  static int count(const std::string& text, const std::string& part) {
    int found = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++found;
    return found;
  }
};

TEST_F(RestartInTheHost, ACrashLoopIsRestartedUntilTheLimitThenTheHostGivesUpWithTheExitCode) {
  // Each run serves a moment, then ends with 3, as a server that crashes does.
  script("main: sleep-ms 700\nmain: exit 3\n");
  const std::string name = spacedServiceName("crash loop");
  TestService service(name, restarting("on-failure", "1", "2"));
  ASSERT_TRUE(service.start());
  ASSERT_TRUE(service.waitForState(SERVICE_RUNNING, 10s));
  // While it restarts, the manager sees a running service, and /status counts.
  ASSERT_TRUE(waitUntil([&] { return serviceLog(name).find("(restart 1)") != std::string::npos; }, 10s));
  EXPECT_EQ(service.status().dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
  const LauncherRun status = verbsOf(dir_ / "restart-on-failure.exe", name)("/status");
  EXPECT_NE(status.out.find("\r\nRestarts: 1\r\nLast exit code: 3\r\n"), std::string::npos)
      << status.out;

  ASSERT_TRUE(service.waitForState(SERVICE_STOPPED, 20s));
  const SERVICE_STATUS ended = service.status();
  EXPECT_EQ(ended.dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR));
  EXPECT_EQ(ended.dwServiceSpecificExitCode, 3u) << "the manager's recovery takes over from the exit code";
  const std::string log = serviceLog(name);
  EXPECT_EQ(count(log, "child exited with code 3"), 3) << log;
  EXPECT_NE(log.find("the application ended with exit code 3; restart 1 in 1.0 s"), std::string::npos) << log;
  EXPECT_NE(log.find("the application ended with exit code 3; restart 2 in 1.0 s"), std::string::npos) << log;
  EXPECT_NE(log.find("giving up after 2 restarts without a healthy run"), std::string::npos) << log;
  EXPECT_NE(log.find("event log: Service '" + name + "' failed: the application ended with exit code 3."),
            std::string::npos)
      << log;
}

TEST_F(RestartInTheHost, AlwaysRestartsAfterAnEndWithZeroAndNeverDoesNot) {
  script("main: sleep-ms 500\n");
  const std::string name = spacedServiceName("always");
  TestService service(name, restarting("always", "0", "1"));
  ASSERT_TRUE(service.start());
  ASSERT_TRUE(service.waitForState(SERVICE_STOPPED, 20s));
  const std::string log = serviceLog(name);
  EXPECT_EQ(count(log, "child exited with code 0"), 2) << log;
  EXPECT_NE(log.find("the application ended with exit code 0; restart 1 in 0.0 s"), std::string::npos) << log;
  // Given up, an end with 0 is no success either: the manager must see it.
  EXPECT_EQ(service.status().dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR));

  const std::string plain = spacedServiceName("never");
  TestService never(plain, restarting("never", "0", "1"));
  ASSERT_TRUE(never.start());
  ASSERT_TRUE(never.waitForState(SERVICE_STOPPED, 20s));
  EXPECT_EQ(count(serviceLog(plain), "child exited with code 0"), 1);
  EXPECT_EQ(never.status().dwWin32ExitCode, 0u);
}

TEST_F(RestartInTheHost, AStopDuringTheDelayEndsAtOnce) {
  script("main: sleep-ms 300\nmain: exit 9\n");
  const std::string name = spacedServiceName("stop in delay");
  const fs::path exe = restarting("on-failure", "60", "5");
  TestService service(name, exe);
  ASSERT_TRUE(service.start());
  ASSERT_TRUE(waitUntil([&] { return serviceLog(name).find("restart 1 in 60.0 s") != std::string::npos; }, 10s));
  const auto asked = std::chrono::steady_clock::now();
  const LauncherRun stop = verbsOf(exe, name)("/stop");
  EXPECT_EQ(stop.out, "Stopping service '" + name + "'.\r\nService stopped\r\n") << stop.err;
  EXPECT_EQ(stop.exitCode, 0u);
  EXPECT_LT(std::chrono::steady_clock::now() - asked, 5s);
  EXPECT_EQ(service.status().dwWin32ExitCode, 0u) << "a stop is no failure";
  EXPECT_NE(serviceLog(name).find("stop requested during the restart delay: no restart"), std::string::npos);
}

// A loopback server of the test's own on a free port, standing in for the
// application's: it accepts connections and, once told, answers each request
// with a status line.
class LoopbackServer {
 public:
  LoopbackServer() {
    WSADATA data{};
    WSAStartup(MAKEWORD(2, 2), &data);
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    int length = sizeof address;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
  }
  ~LoopbackServer() { close(); }
  // From now on the port refuses connections.
  void close() {
    stopping_ = true;
    if (listener_ != INVALID_SOCKET) closesocket(listener_);
    listener_ = INVALID_SOCKET;
    if (thread_.joinable()) thread_.join();
  }
  std::uint16_t port() const { return port_; }
  // From now on connections are accepted and requests get `statusLine`.
  void serve(const std::string& statusLine) {
    {
      std::lock_guard guard(lock_);
      statusLine_ = statusLine;
    }
    if (thread_.joinable()) return;
    listen(listener_, 8);
    thread_ = std::thread([this] {
      while (!stopping_) {
        const SOCKET client = accept(listener_, nullptr, nullptr);
        if (client == INVALID_SOCKET) break;
        char request[1024];
        recv(client, request, sizeof request, 0);
        std::string answer;
        {
          std::lock_guard guard(lock_);
          answer = statusLine_ + "\r\nContent-Length: 0\r\n\r\n";
        }
        send(client, answer.data(), static_cast<int>(answer.size()), 0);
        ++requests_;
        closesocket(client);
      }
    });
  }
  int requests() const { return requests_; }

 private:
  SOCKET listener_ = INVALID_SOCKET;
  std::uint16_t port_ = 0;
  std::thread thread_;
  std::mutex lock_;
  std::string statusLine_;
  std::atomic<bool> stopping_{false};
  std::atomic<int> requests_{0};
};

class Readiness : public ServiceHost {
 protected:
  fs::path readyWhen(const std::string& check, const std::string& timeoutSeconds) {
    return launcherWith({{30021, check}, {30022, timeoutSeconds}}, "ready.exe");
  }
};

TEST_F(Readiness, RunningWaitsForTheCheckAndStartSaysWhenReady) {
  struct Case {
    const char* label;
    std::string check;  // {port} stands for the server's port
    const char* answer;
  };
  const Case cases[] = {
      {"a port that accepts", "tcp:{port}", "HTTP/1.1 200 OK"},
      {"an HTTP answer of 2xx or 3xx, after a 503", "http:http://127.0.0.1:{port}/health", "HTTP/1.1 302 Found"},
  };
  script("main: read-stdin\n");
  ServiceScope services;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    LoopbackServer server;
    std::string check = c.check;
    check.replace(check.find("{port}"), 6, std::to_string(server.port()));
    const fs::path exe = readyWhen(check, "60");
    const std::string name = services.fresh();
    ASSERT_EQ(verbsOf(exe, name)("/install").exitCode, 0u);
    LauncherRun start;
    std::thread starter([&] { start = verbsOf(exe, name)("/start"); });
    // main is called at once; the service stays start pending, its checkpoints rising.
    const UniqueServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    const UniqueServiceHandle service(OpenServiceA(manager.get(), name.c_str(), SERVICE_QUERY_STATUS));
    std::this_thread::sleep_for(2500ms);
    SERVICE_STATUS pending{};
    QueryServiceStatus(service.get(), &pending);
    EXPECT_EQ(pending.dwCurrentState, static_cast<DWORD>(SERVICE_START_PENDING));
    EXPECT_GE(pending.dwCheckPoint, 3u);
    if (check.starts_with("http")) {
      server.serve("HTTP/1.1 503 Service Unavailable");
      std::this_thread::sleep_for(1000ms);
      QueryServiceStatus(service.get(), &pending);
      EXPECT_EQ(pending.dwCurrentState, static_cast<DWORD>(SERVICE_START_PENDING)) << "a 503 is not ready";
      EXPECT_GT(server.requests(), 0);
    }
    server.serve(c.answer);
    starter.join();
    EXPECT_EQ(start.out, "Starting service '" + name + "'.\r\nService '" + name + "' is ready.\r\n") << start.err;
    EXPECT_EQ(start.exitCode, 0u);
    const std::string log = readFile(dir_ / "logs" / (name + ".log"));
    EXPECT_NE(log.find("ready: "), std::string::npos) << log;
    EXPECT_EQ(verbsOf(exe, name)("/stop").exitCode, 0u);
  }
}

TEST_F(Readiness, ALineOfTheApplicationsOutputCanSayReady) {
  script("main: sleep-ms 1500\nmain: print-bytes 20\nmain: read-stdin\n");
  ServiceScope services;
  const fs::path exe = readyWhen("log:oooooooooo", "60");
  const std::string name = services.fresh();
  ASSERT_EQ(verbsOf(exe, name)("/install").exitCode, 0u);
  const auto asked = std::chrono::steady_clock::now();
  const LauncherRun start = verbsOf(exe, name)("/start");
  EXPECT_EQ(start.out, "Starting service '" + name + "'.\r\nService '" + name + "' is ready.\r\n") << start.err;
  EXPECT_GE(std::chrono::steady_clock::now() - asked, 1500ms) << "ready only once the line came";
  EXPECT_NE(readFile(dir_ / "logs" / (name + ".log")).find("ready: a line of its output holds \"oooooooooo\""),
            std::string::npos);
  EXPECT_EQ(verbsOf(exe, name)("/stop").exitCode, 0u);
}

TEST_F(Readiness, NotReadyInTimeFailsTheStartWithTheReason) {
  script("main: read-stdin\n");
  ServiceScope services;
  LoopbackServer server;  // never serves: its port refuses connections
  const fs::path exe = readyWhen("tcp:" + std::to_string(server.port()), "2");
  const std::string name = services.fresh();
  ASSERT_EQ(verbsOf(exe, name)("/install").exitCode, 0u);
  const LauncherRun start = verbsOf(exe, name)("/start");
  EXPECT_EQ(start.exitCode, 1u);
  EXPECT_EQ(start.out, "Starting service '" + name + "'.\r\nService '" + name + "' stopped while starting.\r\n");
  EXPECT_NE(start.err.find("The application did not become ready in time (service-specific code 5001)."),
            std::string::npos)
      << start.err;
  EXPECT_NE(start.err.find("the application was not ready within 2 s: no connection to port"), std::string::npos)
      << start.err;
  const std::string log = readFile(dir_ / "logs" / (name + ".log"));
  EXPECT_NE(log.find("event log: Service '" + name + "' failed: the application did not become ready in time."),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("state: stopped (error 1066, service-specific code 5001)"), std::string::npos) << log;
}

TEST_F(Readiness, AnApplicationThatStopsAnsweringIsDumpedEndedAndRestarted) {
  // main takes the first line of its input (the dump request) and then hangs on.
  script("main: read-stdin\nmain: sleep-ms 600000\n");
  LoopbackServer server;
  server.serve("HTTP/1.1 200 OK");
  const std::string name = spacedServiceName("watchdog");
  const fs::path exe = launcherWith({{30016, "on-failure"},
                                     {30017, "0"},
                                     {30020, "1"},
                                     {30023, "tcp:" + std::to_string(server.port())},
                                     {30024, "1"},
                                     {30025, "2"}},
                                    "watchdog.exe");
  TestService service(name, exe);
  ASSERT_TRUE(service.start());
  ASSERT_TRUE(service.waitForState(SERVICE_RUNNING, 10s));
  std::this_thread::sleep_for(2500ms);
  const std::string logPath = (dir_ / "logs" / (name + ".log")).string();
  EXPECT_EQ(readFile(logPath).find("liveness checks in a row"), std::string::npos) << "answering: left alone";
  EXPECT_EQ(service.status().dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));

  server.close();
  ASSERT_TRUE(traced("stdin threaddump", 15s)) << "the dump request reaches the application: " << joined(trace());
  // Ended and restarted by the policy; the restarted run does not answer
  // either, and the limit of one restart makes the host give up.
  ASSERT_TRUE(service.waitForState(SERVICE_STOPPED, 30s));
  const SERVICE_STATUS ended = service.status();
  EXPECT_EQ(ended.dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR));
  EXPECT_EQ(ended.dwServiceSpecificExitCode, 5002u);
  const std::string log = readFile(logPath);
  EXPECT_NE(log.find("the application did not answer 2 liveness checks in a row (no connection to port " +
                     std::to_string(server.port())),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("asking for a thread dump, then ending its process tree"), std::string::npos) << log;
  EXPECT_NE(log.find("the application ended with exit code 5002; restart 1 in 0.0 s"), std::string::npos) << log;
  EXPECT_NE(log.find("giving up after 1 restart without a healthy run"), std::string::npos) << log;
}

TEST_F(ServiceHost, TheApplicationRunsWithTheConfiguredPriorityAndProcessors) {
  script("main: read-stdin\n");
  const std::string name = spacedServiceName("priority");
  TestService service(name, launcherWith({{30026, "below_normal"}, {30027, "0"}}, "priority.exe"));
  ASSERT_TRUE(service.start());
  ASSERT_TRUE(service.waitForState(SERVICE_RUNNING, 10s));
  const DWORD child = childProcessId(dir_ / "logs" / (name + ".log"));
  UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, child));
  ASSERT_TRUE(process) << child;
  EXPECT_EQ(GetPriorityClass(process.get()), static_cast<DWORD>(BELOW_NORMAL_PRIORITY_CLASS));
  DWORD_PTR processMask = 0;
  DWORD_PTR systemMask = 0;
  ASSERT_TRUE(GetProcessAffinityMask(process.get(), &processMask, &systemMask));
  EXPECT_EQ(processMask, 1u);
}

// The hook stand-in beside the executable, where the host finds a program first.
class Hooks : public RestartInTheHost {
 protected:
  void SetUp() override {
    RestartInTheHost::SetUp();
    fs::copy_file(fixtureDirectory() / "hook.exe", dir_ / "hook.exe", fs::copy_options::overwrite_existing);
  }
  std::vector<std::string> recorded() const { return splitLines(readFile(dir_ / "hooks.txt")); }
  std::string inFolder(const std::string& text) const {
    std::string folder = dir_.string();
    if (!folder.empty() && folder.back() == '\\') folder.pop_back();
    return text + " in " + folder;
  }
};

TEST_F(Hooks, RunAroundEveryRunInTheExecutablesFolderWithTheirOutputInTheLog) {
  // Each run serves a moment and crashes; one restart, then the host gives up.
  script("main: sleep-ms 700\nmain: exit 3\n");
  const std::string name = spacedServiceName("hooks");
  TestService service(name, launcherWith({{30016, "on-failure"}, {30017, "0"}, {30020, "1"},
                                          {30030, "hook.exe 'say:preparing data' record:hooks.txt:pre \"\" warn:ready"},
                                          {30031, "hook.exe record:hooks.txt:post exit:2"}},
                                         "hooked.exe"));
  ASSERT_TRUE(service.start());
  ASSERT_TRUE(service.waitForState(SERVICE_STOPPED, 30s));
  EXPECT_EQ(recorded(), (std::vector<std::string>{inFolder("pre") + " args=4", inFolder("post") + " args=2",
                                                  inFolder("pre") + " args=4", inFolder("post") + " args=2"}))
      << "an empty argument arrives as one";
  const std::string log = serviceLog(name);
  EXPECT_EQ(count(log, "pre_start: preparing data"), 2) << log;
  EXPECT_EQ(count(log, "pre_start: ready"), 2) << "standard error too";
  EXPECT_EQ(count(log, "the pre_start hook ended with exit code 0"), 2) << log;
  // A failing post-stop hook is said, and the run's end stands as it was.
  EXPECT_EQ(count(log, "the post_stop hook ended with exit code 2"), 2) << log;
  EXPECT_LT(log.find("the pre_start hook ended"), log.find("child process id ")) << "before the application";
  EXPECT_LT(log.find("child exited with code 3"), log.find("the post_stop hook ended")) << "after its end";
  EXPECT_EQ(service.status().dwServiceSpecificExitCode, 3u);
}

TEST_F(Hooks, AFailingPreStartHookFailsTheStartWithItsOutputAsTheReason) {
  struct Case {
    const char* label;
    std::string hook;
    Entries extra;
    const char* reason;
  };
  const Case cases[] = {
      {"exit code", "hook.exe 'say:database db1 not reachable' exit:4", {}, "pre_start: database db1 not reachable"},
      {"time-out", "hook.exe say:waiting sleep:2500 record:hooks.txt:finished", {{30032, "1"}},
       "the pre_start hook did not end within 1 s: ended it"},
      {"no such program", "no-such-hook.exe", {}, "the pre_start hook could not be started: "},
  };
  script("main: read-stdin\n");
  int index = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string name = spacedServiceName("pre-start");
    Entries entries{{30030, c.hook}};
    entries.insert(entries.end(), c.extra.begin(), c.extra.end());
    const fs::path exe = launcherWith(entries, "pre" + std::to_string(index++) + ".exe");
    TestService service(name, exe);
    Verbs verbs = verbsOf(exe, name);
    const LauncherRun start = verbs("/start");
    EXPECT_EQ(start.exitCode, 1u) << start.out << start.err;
    EXPECT_EQ(start.out, "Starting service '" + name + "'.\r\nService '" + name + "' stopped while starting.\r\n");
    EXPECT_NE(start.err.find("The pre_start hook failed, so the application was not started (service-specific code "
                             "5003)."),
              std::string::npos)
        << start.err;
    EXPECT_NE(start.err.find(c.reason), std::string::npos) << start.err;
    EXPECT_EQ(service.status().dwServiceSpecificExitCode, 5003u);
    const std::string log = serviceLog(name);
    EXPECT_EQ(log.find("child process id "), std::string::npos) << "the application never started:\n" << log;
  }
  // The timed-out hook was ended, not left to finish its sleep.
  std::this_thread::sleep_for(3s);
  EXPECT_FALSE(fs::exists(dir_ / "hooks.txt"));
}

TEST_F(Hooks, AStopWaitsForThePostStopHook) {
  script("main: read-stdin\n");
  const std::string name = spacedServiceName("post-stop");
  const fs::path exe = launcherWith({{30031, "hook.exe sleep:3000 record:hooks.txt:cleaned"}}, "post.exe");
  TestService service(name, exe);
  Verbs verbs = verbsOf(exe, name);
  ASSERT_EQ(verbs("/start").exitCode, 0u);
  const LauncherRun stop = verbs("/stop");
  EXPECT_EQ(stop.out, "Stopping service '" + name + "'.\r\nService stopped\r\n") << stop.err;
  EXPECT_EQ(recorded(), std::vector<std::string>{inFolder("cleaned") + " args=2"}) << "stopped only after the hook";
  EXPECT_EQ(service.status().dwWin32ExitCode, 0u);
}

TEST_F(ServiceHost, RunRunsTheApplicationAsTheServiceDoesWithItsExitCode) {
  // What the console event does is tested in-process (console_run_test):
  // Wine 8 does not deliver GenerateConsoleCtrlEvent to a process group.
  struct Case {
    const char* script;
    unsigned long exitCode;
    const char* out;
  };
  const fs::path exe = launcher("run.exe");
  for (const Case& c : {Case{"main: print-bytes 5\n", 0, "ooooo"}, Case{"main: throw\n", 1, ""}}) {
    script(c.script);
    fs::remove(jvmDir_ / "jvm.dll.trace");
    const LauncherRun r = run(exe, {.arguments = L"/run"});
    EXPECT_EQ(r.exitCode, c.exitCode) << c.script << r.err;
    EXPECT_EQ(r.out, c.out) << c.script;
    // The service name stands where the service host puts it.
    EXPECT_EQ(mainArguments(trace()), (Lines{"false", "com.example.App", "", "", "false", "configured"}));
  }
}


bool processEndsWithin(DWORD processId, DWORD milliseconds) {
  UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, processId));
  return !process || WaitForSingleObject(process.get(), milliseconds) == WAIT_OBJECT_0;
}

TEST_F(ServiceHost, AStopThatTakesTooLongEndsTheTreeAtTheTimeout) {
  // The double's main sleeps through the stop line, as a hung application does.
  script("main: sleep-ms 600000\n");
  const std::string name = spacedServiceName("stubborn");
  PayloadBytes payload = PayloadBytes::tables({{101, "configured"},
                                               {107, "0"},
                                               {122, "com.example.App"},
                                               {128, searchEntry()},
                                               {2002, "1"},
                                               {2003, "lib\\app.jar"},
                                               {30005, "2"}});
  payload.fileRecord("PK app");
  const fs::path exe = makeLauncher(payload, "stubborn.exe");
  TestService service(name, exe);
  ASSERT_TRUE(service.start());
  ASSERT_TRUE(service.waitForState(SERVICE_RUNNING, 10s));
  ASSERT_TRUE(traced("arg[5]=" + name)) << joined(trace());
  std::string tempDir;
  for (const std::string& line : trace()) {
    const std::size_t at = line.find("=-Drunvo.tempDir=");
    if (line.rfind("option[", 0) == 0 && at != std::string::npos) tempDir = line.substr(at + 17);
  }
  ASSERT_TRUE(fs::exists(fs::path(tempDir) / "lib" / "app.jar")) << tempDir;
  const fs::path log = dir_ / "logs" / (name + ".log");
  const DWORD child = childProcessId(log);
  ASSERT_NE(child, 0u);
  const DWORD hostId = service.processId();

  const auto stopAsked = std::chrono::steady_clock::now();
  LauncherRun stop;
  std::thread stopper([&] { stop = verbsOf(exe, name)("/stop"); });
  std::this_thread::sleep_for(1200ms);
  const SERVICE_STATUS pending = service.status();
  EXPECT_EQ(pending.dwCurrentState, SERVICE_STOP_PENDING);
  EXPECT_GE(pending.dwCheckPoint, 1u);
  EXPECT_GE(pending.dwWaitHint, 1000u) << "the wait hint covers the rest of the timeout";
  stopper.join();
  const auto took = std::chrono::steady_clock::now() - stopAsked;
  // /stop follows the stop through the timeout and the end of the tree.
  EXPECT_EQ(stop.out, "Stopping service '" + name + "'.\r\nService stopped\r\n") << stop.err;
  EXPECT_EQ(stop.exitCode, 0u);
  EXPECT_EQ(service.status().dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
  // Once the service is stopped, nothing of the run stays in the temporary folder.
  EXPECT_FALSE(fs::exists(tempDir)) << tempDir;
  EXPECT_GE(took, 2s);
  EXPECT_LT(took, 10s);
  EXPECT_TRUE(processEndsWithin(child, 5000)) << "the child's tree is ended";
  EXPECT_TRUE(processEndsWithin(hostId, 5000));
  const std::string text = readFile(log);
  EXPECT_NE(text.find("did not end within 2 s after the stop line: ending its process tree"), std::string::npos)
      << text;
}

TEST_F(ServiceHost, TheChildDoesNotOutliveItsHost) {
  script("main: sleep-ms 600000\n");
  const std::string name = spacedServiceName("orphan");
  TestService service(name, launcher("orphan.exe"));
  ASSERT_TRUE(service.start());
  ASSERT_TRUE(service.waitForState(SERVICE_RUNNING, 10s));
  const DWORD child = childProcessId(dir_ / "logs" / (name + ".log"));
  ASSERT_NE(child, 0u);
  UniqueHandle host(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, service.processId()));
  ASSERT_TRUE(host);
  // Killed from outside: no clean-up of its own runs.
  ASSERT_TRUE(TerminateProcess(host.get(), 9));
  EXPECT_EQ(WaitForSingleObject(host.get(), 5000), WAIT_OBJECT_0);
  EXPECT_TRUE(processEndsWithin(child, 10000)) << "the job ends the child with its host";
}

TEST_F(ServiceHost, StaleExtractionDirectoriesGoAndLiveOnesStay) {
  // A child run that ends without a JVM leaves its directory, as a killed one would.
  PayloadBytes payload = PayloadBytes::tables({{101, "configured"}, {107, "0"}, {2002, "1"}, {2003, "app.jar"}});
  payload.fileRecord("PK app");
  const fs::path exe = makeLauncher(payload, "stale.exe");
  const fs::path temp = tmp_ / "stale";
  fs::create_directories(temp);
  auto runChild = [&] { run(exe, {.arguments = L"__ksx_restart", .temporaryDirectory = temp}); };
  auto extractionDirectories = [&] {
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(temp)) {
      if (entry.is_directory() && entry.path().filename().string().ends_with(".tmp_dir")) found.push_back(entry.path());
    }
    return found;
  };
  runChild();
  const std::vector<fs::path> first = extractionDirectories();
  ASSERT_EQ(first.size(), 1u);
  // One that a running copy owns: its owner file is held open.
  const fs::path live = temp / (first[0].filename().string().substr(0, 12) + "0123456789abcdef.tmp_dir");
  fs::create_directories(live);
  UniqueHandle liveLock(CreateFileW((live / ".owner").wstring().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(liveLock);
  // Another executable's directory is never touched.
  const fs::path foreign = temp / "rvx00000000_0123456789abcdef.tmp_dir";
  fs::create_directories(foreign);

  runChild();
  EXPECT_FALSE(fs::exists(first[0])) << "the stale directory is removed";
  EXPECT_TRUE(fs::exists(live)) << "the live one is kept";
  EXPECT_TRUE(fs::exists(foreign)) << "another executable's is kept";
  EXPECT_EQ(extractionDirectories().size(), 3u) << "the live one, the foreign one and the new run's";
  for (const auto& entry : fs::directory_iterator(temp)) {
    EXPECT_NE(entry.path().extension(), ".tmp") << "no temporary file stays: " << entry.path();
  }
}

// The path Wine maps a Windows path to; empty outside Wine.
std::wstring unixPath(const fs::path& path) {
  using UnixName = char*(CDECL*)(const wchar_t*);
  const auto unixName = reinterpret_cast<UnixName>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  char* name = unixName ? unixName(path.wstring().c_str()) : nullptr;
  std::wstring text = name ? std::wstring(name, name + std::strlen(name)) : L"";
  HeapFree(GetProcessHeap(), 0, name);
  return text;
}

// Wine runs a Unix program started by its path; the command line is split
// at blanks, so the paths must hold none. The process Wine hands back may end
// before the Unix program does: the caller waits for what it expects.
bool runUnixProgram(std::wstring command) {
  STARTUPINFOW startup{sizeof startup};
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
    return false;
  }
  CloseHandle(started.hThread);
  CloseHandle(started.hProcess);
  return true;
}

bool waitForAttributes(const fs::path& path, bool present) {
  for (int attempt = 0; attempt < 100; ++attempt, Sleep(50)) {
    if ((GetFileAttributesW(path.wstring().c_str()) != INVALID_FILE_ATTRIBUTES) == present) return true;
  }
  return false;
}

// A symbolic link to a folder, made the one way Wine 8 has: its
// CreateSymbolicLinkW makes nothing and it refuses FSCTL_SET_REPARSE_POINT,
// but it lists a Unix symbolic link as a reparse point, as Windows lists a
// junction or a symbolic link.
bool makeFolderLink(const fs::path& link, const fs::path& target) {
  if (!runUnixProgram(L"Z:\\bin\\ln -s " + unixPath(target) + L" " + unixPath(link.parent_path()) + L"/" +
                      link.filename().wstring()) ||
      !waitForAttributes(link, true)) {
    return false;
  }
  return (GetFileAttributesW(link.wstring().c_str()) & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// Removed as a link, which the test's own clean-up (the C++ library's) cannot do under Wine.
void removeFolderLink(const fs::path& link) {
  if (runUnixProgram(L"Z:\\bin\\rm -f " + unixPath(link))) waitForAttributes(link, false);
}

TEST_F(ServiceHost, ACleanUpNeverReachesThroughALink) {
  PayloadBytes payload = PayloadBytes::tables({{101, "configured"}, {107, "0"}, {2002, "1"}, {2003, "app.jar"}});
  payload.fileRecord("PK app");
  const fs::path exe = makeLauncher(payload, "links.exe");
  const fs::path temp = tmp_ / "links";
  fs::create_directories(temp);
  auto runChild = [&] { run(exe, {.arguments = L"__ksx_restart", .temporaryDirectory = temp}); };
  // Folders of somebody else's, with something to lose.
  auto precious = [&](const std::string& label) {
    const fs::path folder = dir_ / label;
    fs::create_directories(folder / "inner");
    std::ofstream(folder / "keep.txt") << "keep";
    std::ofstream(folder / "inner" / "keep.txt") << "keep";
    return folder;
  };
  auto intact = [](const fs::path& folder) {
    return fs::exists(folder / "keep.txt") && fs::exists(folder / "inner" / "keep.txt");
  };
  // A run that ends without a JVM leaves its directory behind: a stale one.
  runChild();
  std::vector<fs::path> stale;
  for (const auto& entry : fs::directory_iterator(temp)) stale.push_back(entry.path());
  ASSERT_EQ(stale.size(), 1u);
  const std::string ownPrefix = stale[0].filename().string().substr(0, 12);

  // Named like a stale extraction folder of this executable, planted by
  // anyone who may create folders in the temporary folder.
  const fs::path plantedTarget = precious("planted-target");
  const fs::path planted = temp / (ownPrefix + "00000000000000a1.tmp_dir");
  ASSERT_TRUE(makeFolderLink(planted, plantedTarget));
  // Left inside a real stale folder, as an application may leave one in runvo.tempDir.
  const fs::path innerTarget = precious("inner-target");
  ASSERT_TRUE(makeFolderLink(stale[0] / "data", innerTarget));

  runChild();
  EXPECT_TRUE(intact(plantedTarget)) << "the link's target was emptied";
  EXPECT_TRUE(intact(innerTarget)) << "the target of a link in a stale folder was emptied";
  EXPECT_TRUE(GetFileAttributesW(planted.wstring().c_str()) != INVALID_FILE_ATTRIBUTES)
      << "a planted link is left alone";
  EXPECT_FALSE(fs::exists(stale[0] / "app.jar")) << "the stale folder's own files go";
  removeFolderLink(planted);
  removeFolderLink(stale[0] / "data");
}

TEST_F(ServiceHost, NamesAndParametersWithQuotesArriveUnchanged) {
  script("main: read-stdin\n");
  const std::string name = "runvo test O'Brien " + uniqueServiceName();
  TestService service(name, launcher("O'Brien\\svc.exe"));
  // Wine's manager ends the parameters at an empty one (it passes them as a
  // NUL-separated list), so the empty text is tested natively (host_rules_test).
  ASSERT_TRUE(service.start({"Say \"Hi\" now", "it's"}));
  ASSERT_TRUE(service.waitForState(SERVICE_RUNNING, 10s));
  ASSERT_TRUE(traced("arg[7]=it's")) << joined(trace());
  EXPECT_EQ(mainArguments(trace()), (Lines{"false", "com.example.App", "", "", "false", name, "Say \"Hi\" now", "it's"}));
}

std::wstring fromUtf8(const std::string& text) {
  std::wstring wide(text.size(), L'\0');
  wide.resize(MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                                  static_cast<int>(wide.size())));
  return wide;
}

// Installed, started, stopped and removed by the verbs under a name that the
// ANSI code page cannot hold; the application gets it whole.
TEST_F(ServiceHost, ANameOutsideTheAnsiCodePageIsWholeEveryStepOfTheWay) {
  script("main: read-stdin\n");
  const std::string name = "runvo test \xe6\x9c\x8d\xe5\x8a\xa1 " + uniqueServiceName();  // U+670D U+52A1
  const std::wstring quoted = L"\"" + fromUtf8(name) + L"\"";
  const fs::path exe = launcher("wide.exe");
  auto verb = [&](const wchar_t* which) { return run(exe, {.arguments = which + (L" " + quoted)}); };
  const LauncherRun install = verb(L"/install");
  ASSERT_EQ(install.exitCode, 0u) << install.out << install.err;
  const UniqueServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  EXPECT_TRUE(UniqueServiceHandle(OpenServiceW(manager.get(), fromUtf8(name).c_str(), SERVICE_QUERY_STATUS)));
  const LauncherRun start = verb(L"/start");
  EXPECT_EQ(start.exitCode, 0u) << start.out << start.err;
  EXPECT_TRUE(traced("arg[5]=" + name)) << joined(trace());
  EXPECT_EQ(verb(L"/status").exitCode, 0u);
  EXPECT_EQ(verb(L"/stop").exitCode, 0u);
  const LauncherRun uninstall = verb(L"/uninstall");
  EXPECT_EQ(uninstall.exitCode, 0u) << uninstall.out << uninstall.err;
  EXPECT_FALSE(UniqueServiceHandle(OpenServiceW(manager.get(), fromUtf8(name).c_str(), SERVICE_QUERY_STATUS)));
}

TEST_F(ServiceHost, AParameterWithBothQuotesFailsTheStartWithItsReason) {
  const std::string name = spacedServiceName("both quotes");
  TestService service(name, launcher("both.exe"));
  // The host stops at once; when that is before Wine's manager has seen the
  // start through, StartService itself fails, so only the end is checked.
  service.start({"it's \"odd\""});
  ASSERT_TRUE(service.waitForState(SERVICE_STOPPED, 10s));
  EXPECT_NE(service.status().dwWin32ExitCode, 0u);
  const std::string log = readFile(dir_ / "logs" / (name + ".log"));
  EXPECT_NE(log.find("a start parameter holds both a double quote and an apostrophe"), std::string::npos) << log;
}

TEST_F(ServiceHost, AStopRightAfterTheStartIsNeverLost) {
  // The stop comes while the VM is still being created: it is remembered,
  // sent once the child can read it, and the service ends stopped.
  script("create-sleep-ms: 400\nmain: read-stdin\n");
  TestService service(spacedServiceName("race"), launcher("race.exe"));
  for (int round = 0; round < 5; ++round) {
    SCOPED_TRACE(round);
    fs::remove(jvmDir_ / "jvm.dll.trace");
    ASSERT_TRUE(service.start());
    EXPECT_TRUE(service.control(SERVICE_CONTROL_STOP)) << GetLastError();
    ASSERT_TRUE(service.waitForState(SERVICE_STOPPED, 15s)) << service.status().dwCurrentState;
    EXPECT_EQ(service.status().dwWin32ExitCode, 0u);
    EXPECT_TRUE(traced("stdin 0")) << joined(trace());
  }
}

TEST_F(ServiceHost, TheVersionProbeLeavesNoFileWhenItsProcessHoldsItPastItsEnd) {
  constexpr auto kLinger = 1500ms;
  const fs::path javaExe = dir_ / "jre" / "bin" / "java.exe";
  std::ofstream(javaExe.parent_path() / "java.script", std::ios::app) << "linger-ms: " << kLinger.count() << "\n";
  script("main: read-stdin\n");
  const fs::path exe = launcherWith({}, "probe.exe");
  TestService service(spacedServiceName("probe"), exe);
  ASSERT_TRUE(service.start());
  ASSERT_TRUE(service.waitForState(SERVICE_RUNNING, 10s));
  ASSERT_TRUE(service.control(SERVICE_CONTROL_STOP));
  ASSERT_TRUE(service.waitForState(SERVICE_STOPPED, 15s));
  // The probe's own process records the file it held: "\\?\C:\...\rvxNNNN.tmp".
  // Wine may start the probe's own process a moment after the probe ended.
  const fs::path linger = javaExe.string() + ".linger";
  ASSERT_TRUE(waitUntil([&] { return !recordedRuns(linger).empty(); }, 10s));
  const std::vector<std::string> held = recordedRuns(linger);
  ASSERT_EQ(held.size(), 1u) << "the version probe ran once, in the service's child";
  std::string path = held[0];
  if (path.starts_with("\\\\?\\")) path.erase(0, 4);
  EXPECT_TRUE(fs::path(path).filename().string().starts_with("rvx")) << path;
  EXPECT_TRUE(waitUntil([&] { return !fs::exists(path); }, kLinger + 5s)) << path << " is left behind";
}

TEST_F(ServiceHost, ALogFolderThatCannotBeMadeFallsBackUnderProgramDataWhichTheVerbsName) {
  script("main: print-bytes 100\nmain: throw\n");
  ServiceScope services;
  const std::string name = services.fresh();
  // Its folder would lie below the executable file itself.
  const fs::path exe = launcherWith({{30001, "fallback.exe\\logs"}}, "fallback.exe");
  const std::string configured = exe.string() + "\\logs\\" + name + ".log";
  const FallbackFolder fallbackFolder(name);
  const std::string fallback = (fallbackFolder.path / "logs" / (name + ".log")).string();
  auto verb = [&](const std::string& text) {
    return run(exe, {.arguments = std::wstring(text.begin(), text.end()) + L" " + std::wstring(name.begin(), name.end())});
  };
  ASSERT_EQ(verb("/install").exitCode, 0u);

  const LauncherRun start = verb("/start");
  EXPECT_EQ(start.exitCode, 1u);
  EXPECT_NE(start.err.find("The service log is in the fallback folder: " + fallback + " (" + configured +
                           " could not be written)."),
            std::string::npos)
      << start.err;
  EXPECT_NE(start.err.find("The last lines of the service log " + fallback + ":"), std::string::npos) << start.err;
  const std::string log = readFile(fallback);
  EXPECT_NE(log.find("the service log " + configured + " cannot be written ("), std::string::npos) << log;
  EXPECT_NE(log.find("; written here"), std::string::npos) << log;
  EXPECT_NE(log.find("service starting: " + name), std::string::npos) << log;
  EXPECT_TRUE(fs::is_regular_file(exe)) << "the file in the way is left as it was";

  const LauncherRun status = verb("/status");
  EXPECT_EQ(status.out, "Not running.\r\nLast exit code: 1\r\nThe service log is in the fallback folder: " + fallback +
                            " (" + configured + " could not be written).\r\n");
  EXPECT_EQ(status.exitCode, 3u);
}

TEST_F(ServiceHost, AServiceLogThatCannotBeWrittenNeverStopsTheService) {
  // Its folder would lie below the executable file itself: it cannot be made.
  script("main: print-bytes 100000\nmain: read-stdin\n");
  const fs::path exe = launcherWith({{30001, "nolog.exe\\logs"}}, "nolog.exe");
  TestService service(spacedServiceName("no log"), exe);
  const FallbackFolder fallbackFolder(service.name());
  ASSERT_TRUE(service.start());
  ASSERT_TRUE(service.waitForState(SERVICE_RUNNING, 10s));
  ASSERT_TRUE(traced("printed 100000")) << joined(trace());
  ASSERT_TRUE(service.control(SERVICE_CONTROL_STOP));
  EXPECT_TRUE(traced("stdin 0")) << joined(trace());
  EXPECT_TRUE(service.waitForState(SERVICE_STOPPED, 15s));
  EXPECT_EQ(service.status().dwWin32ExitCode, 0u);
}

}  // namespace
}  // namespace runvo::testing
