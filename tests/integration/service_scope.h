// Services that a test registers, stopped and removed again when it ends, also
// when it fails; and what the Service Control Manager and the registry hold
// for a service, read straight from them.
#pragma once
#include <algorithm>
#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "util/unique_handle.h"

namespace runvo::testing {

// Process ids come back quickly under Wine, so the start time of the run is
// part of the name as well.
inline std::string uniqueServiceName() {
  static const DWORD runStamp = GetTickCount() % 1000000;
  static std::atomic<int> counter{0};
  return "runvo-test-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(runStamp) + "-" +
         std::to_string(counter++);
}

// Stop request and deletion; a service that is still stopping goes away once
// it has stopped.
inline void removeService(const std::string& name) {
  // The event log source that /install registers goes too.
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, ("SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\" + name).c_str());
  const UniqueServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  const UniqueServiceHandle service(manager ? OpenServiceA(manager.get(), name.c_str(), SERVICE_STOP | DELETE)
                                            : nullptr);
  if (!service) return;
  SERVICE_STATUS status{};
  ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
  DeleteService(service.get());
}

class ServiceScope {
 public:
  ServiceScope() = default;
  ServiceScope(const ServiceScope&) = delete;
  ServiceScope& operator=(const ServiceScope&) = delete;
  ~ServiceScope() {
    for (const std::string& name : names_) removeService(name);
  }

  // A name the test may install under; removed at the end. A leftover of an
  // earlier, aborted run under the same name is removed first.
  const std::string& add(const std::string& name) {
    const auto known = std::find(names_.begin(), names_.end(), name);
    if (known != names_.end()) return *known;
    removeService(name);
    return names_.emplace_back(name);
  }
  std::string fresh() { return add(uniqueServiceName()); }

  // Registers `name` with some other program, as another installer would.
  void createForeign(const std::string& name, const std::string& binaryPath, DWORD startType) {
    add(name);
    const UniqueServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    ASSERT_TRUE(manager) << GetLastError();
    const UniqueServiceHandle service(CreateServiceA(
        manager.get(), name.c_str(), name.c_str(), SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS, startType,
        SERVICE_ERROR_NORMAL, binaryPath.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_TRUE(service) << name << ": " << GetLastError();
  }

 private:
  std::vector<std::string> names_;
};

struct ServiceConfig {
  DWORD serviceType = 0;
  DWORD startType = 0;
  DWORD errorControl = 0;
  std::string binaryPath;
  std::string displayName;
  std::string account;
};

// Opened for reading its configuration; empty when it does not exist.
inline UniqueServiceHandle openForQuery(const std::string& name) {
  const UniqueServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
  return UniqueServiceHandle(manager ? OpenServiceA(manager.get(), name.c_str(), SERVICE_QUERY_CONFIG)
                                     : nullptr);
}

inline std::optional<ServiceConfig> queryServiceConfig(const std::string& name) {
  const UniqueServiceHandle service = openForQuery(name);
  alignas(QUERY_SERVICE_CONFIGA) unsigned char buffer[8192];
  auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer);
  DWORD needed = 0;
  if (!service || !QueryServiceConfigA(service.get(), config, sizeof buffer, &needed)) return std::nullopt;
  auto text = [](const char* s) { return std::string(s ? s : ""); };
  return ServiceConfig{config->dwServiceType,       config->dwStartType,
                       config->dwErrorControl,      text(config->lpBinaryPathName),
                       text(config->lpDisplayName), text(config->lpServiceStartName)};
}

// What QueryServiceConfigA asks for to hold the whole configuration.
inline DWORD configBytesNeeded(const std::string& name) {
  const UniqueServiceHandle service = openForQuery(name);
  QUERY_SERVICE_CONFIGA tooSmall{};
  DWORD needed = 0;
  if (service) QueryServiceConfigA(service.get(), &tooSmall, sizeof tooSmall, &needed);
  return needed;
}

inline bool serviceExists(const std::string& name) { return static_cast<bool>(openForQuery(name)); }

// The description as the Service Control Manager reports it; empty when none.
inline std::wstring serviceDescription(const std::string& name) {
  const UniqueServiceHandle service = openForQuery(name);
  alignas(SERVICE_DESCRIPTIONW) unsigned char buffer[8192];
  DWORD needed = 0;
  if (!service ||
      !QueryServiceConfig2W(service.get(), SERVICE_CONFIG_DESCRIPTION, buffer, sizeof buffer, &needed)) {
    ADD_FAILURE() << "no description to read for " << name << ": " << GetLastError();
    return L"";
  }
  const wchar_t* text = reinterpret_cast<SERVICE_DESCRIPTIONW*>(buffer)->lpDescription;
  return text ? text : L"";
}

// The stored dependency list, every NUL included, from the registry: Wine's
// QueryServiceConfig does not report dependencies. Empty when there is no value.
inline std::optional<std::wstring> storedDependencies(const std::string& name) {
  const std::wstring key = L"System\\CurrentControlSet\\Services\\" + std::wstring(name.begin(), name.end());
  std::vector<unsigned char> data(8192);
  DWORD type = 0;
  DWORD size = static_cast<DWORD>(data.size());
  if (RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"DependOnService", RRF_RT_ANY | RRF_NOEXPAND, &type,
                   data.data(), &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
  return std::wstring(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
}

}  // namespace runvo::testing
