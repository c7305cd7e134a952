// Variable expansion in configured text: it must stay within the launcher's
// buffer, and text without any reference must come back unchanged.
// Input: the buffer capacity, the three launcher values, up to four
// environment entries and a free pattern, then the text.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>

#include "fuzz/fuzz_support.h"
#include "payload/expansion.h"

namespace {

constexpr std::size_t kLongestValue = 64;

runvo::Environment environmentFrom(FuzzedDataProvider& input) {
  runvo::Environment environment(input.ConsumeIntegralInRange<std::size_t>(0, 4));
  for (auto& [name, value] : environment) {
    name = input.ConsumeRandomLengthString(kLongestValue);
    value = input.ConsumeRandomLengthString(kLongestValue);
  }
  return environment;
}

// A replacement may cut the text to the buffer, never make it longer than that.
void checkLength(const std::string& before, const std::string& after, std::size_t capacity) {
  const std::size_t longest = capacity > 0 ? capacity - 1 : 0;
  FUZZ_EXPECT(after.size() <= std::max(before.size(), longest));
  if (before.size() <= longest) FUZZ_EXPECT(after.size() <= longest);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::size_t capacity = input.ConsumeIntegralInRange<std::size_t>(0, 512);
  runvo::LauncherValues values;
  for (std::string* value : {&values.launcherDirectory, &values.extractionDirectory, &values.jvmHome}) {
    *value = input.ConsumeRandomLengthString(kLongestValue);
  }
  const runvo::Environment environment = environmentFrom(input);
  const std::string pattern = input.ConsumeRandomLengthString(kLongestValue);
  const std::string before = input.ConsumeRemainingBytesAsString();

  std::string expanded = before;
  runvo::expandVariables(expanded, values, environment, capacity);
  checkLength(before, expanded, capacity);
  // Every reference starts with '%' or '$'.
  if (before.find_first_of("%$") == std::string::npos) FUZZ_EXPECT(expanded == before);

  std::string replaced = before;
  runvo::replaceAll(replaced, pattern, values.launcherDirectory, capacity);
  checkLength(before, replaced, capacity);
  if (pattern.empty() || before.find(pattern) == std::string::npos) FUZZ_EXPECT(replaced == before);
  return 0;
}
