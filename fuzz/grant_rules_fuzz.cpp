// The folders /install opens to a service's account, from the paths of the
// files it writes: never the executable's own folder or a root, each folder
// once, and every file either prepared or passed over with a reason. The
// fallback log path and a virtual account's SID hold for any service name.
// Input: texts separated by NUL bytes; the first is the executable's folder,
// the others the files, and the first file is also taken as a service name.
#include <algorithm>

#include "fuzz/fuzz_support.h"
#include "service/grant_rules.h"
#include "service/log_place_rules.h"

namespace {

std::string folded(std::string text) {
  for (char& c : text) c = c == '/' ? '\\' : (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  while (text.size() > 3 && text.back() == '\\') text.pop_back();
  return text;
}

void checkFolders(const std::string& executableFolder, const std::vector<std::string>& files) {
  const runvo::FolderChoice choice = runvo::foldersToPrepare(files, executableFolder);
  std::vector<std::string> seen;
  for (const std::string& folder : choice.prepared) {
    FUZZ_EXPECT(folded(folder) != folded(executableFolder));
    FUZZ_EXPECT(folder.size() > 3);
    FUZZ_EXPECT(std::ranges::find(seen, folded(folder)) == seen.end());
    seen.push_back(folded(folder));
    FUZZ_EXPECT(std::ranges::any_of(files, [&](const std::string& file) { return folded(file).starts_with(folded(folder)); }));
  }
  for (const auto& passed : choice.passedOver) FUZZ_EXPECT(!passed.reason.empty());
  FUZZ_EXPECT(choice.passedOver.size() <= files.size());
}

void checkServiceName(const std::string& name) {
  const std::string fallback = runvo::fallbackServiceLogPath("C:\\ProgramData", name);
  FUZZ_EXPECT(fallback.starts_with("C:\\ProgramData\\runvo\\"));
  // The name never reaches above the service's own folder.
  const std::string below = fallback.substr(std::string_view("C:\\ProgramData\\runvo\\").size());
  FUZZ_EXPECT(std::ranges::count(below, '\\') == 2);
  FUZZ_EXPECT(below.substr(0, below.find('\\')).find_first_not_of(". ") != std::string::npos);
  const std::string sid = runvo::virtualAccountSid(std::u16string(name.begin(), name.end()));
  FUZZ_EXPECT(sid.starts_with("S-1-5-80-") && std::ranges::count(sid, '-') == 8);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> texts = runvo::fuzz::textsBetweenNuls(runvo::fuzz::asText(data, size));
  const std::string executableFolder = texts.front();
  texts.erase(texts.begin());
  checkFolders(executableFolder, texts);
  if (!texts.empty()) checkServiceName(texts.front());
  return 0;
}
