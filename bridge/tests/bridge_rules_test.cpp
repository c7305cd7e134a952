#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "bridge/jni_signature.h"
#include "bridge/utf16.h"
#include "bridge/vm_option_paths.h"
#include "bridge/windows_varargs.h"

namespace runvo::bridge {
namespace {

TEST(JniSignature, ParameterKinds) {
  struct Case {
    const char* descriptor;
    std::optional<std::string> kinds;
  };
  const Case cases[] = {
      {"()V", ""},
      {"([Ljava/lang/String;)V", "L"},
      {"(ZBCSIJFD)Ljava/lang/String;", "ZBCSIJFD"},
      {"(ILjava/lang/String;[J)V", "ILL"},
      {"([[I[Ljava/lang/Object;J)[[D", "LLJ"},
      {"(Ljava/util/Map$Entry;)Z", "L"},
      {"", std::nullopt},
      {"V", std::nullopt},
      {"(I", std::nullopt},            // no ')'
      {"(I)", std::nullopt},           // no return type
      {"(Q)V", std::nullopt},          // no such type
      {"(Ljava/lang/String)V", std::nullopt},  // class name not ended
      {"(L;)V", std::nullopt},
      {"([)V", std::nullopt},          // array of nothing
      {"(I)VV", std::nullopt},         // trailing text
      {"(I)[V", std::nullopt},         // void is no element type
  };
  for (const Case& c : cases) EXPECT_EQ(parameterKinds(c.descriptor), c.kinds) << c.descriptor;
}

TEST(JniSignature, KindOfTypeName) {
  const std::map<std::string, char> cases = {{"boolean", 'Z'}, {"byte", 'B'},  {"char", 'C'},
                                             {"short", 'S'},   {"int", 'I'},   {"long", 'J'},
                                             {"float", 'F'},   {"double", 'D'}, {"java.lang.String", 'L'},
                                             {"[I", 'L'},      {"Integer", 'L'}, {"", 'L'}};
  for (const auto& [name, kind] : cases) EXPECT_EQ(kindOfTypeName(name), kind) << name;
}

// Eight-byte slots as a Windows x64 caller fills them for "...".
class Slots {
 public:
  template <typename T>
  Slots& add(T value) {
    std::uint64_t slot = 0xA5A5A5A5A5A5A5A5ULL;  // junk above narrow values, as in a register
    std::memcpy(&slot, &value, sizeof value);
    slots_.push_back(slot);
    return *this;
  }
  const char* data() const { return reinterpret_cast<const char*>(slots_.data()); }

 private:
  std::vector<std::uint64_t> slots_;
};

TEST(WindowsVarargs, EveryKindFromItsSlot) {
  int object = 0;
  Slots slots;
  // As the caller's promotions leave them: small integers as int, float as double.
  slots.add<std::int32_t>(1).add<std::int32_t>(-7).add<std::int32_t>(0x263A).add<std::int32_t>(-300)
      .add<std::int32_t>(-123456).add<std::int64_t>(9000000000LL).add<double>(1.5).add<double>(-2.25)
      .add<void*>(&object);
  const std::vector<jvalue> values = readWindowsArguments("ZBCSIJFDL", slots.data());
  ASSERT_EQ(values.size(), 9u);
  EXPECT_EQ(values[0].z, JNI_TRUE);
  EXPECT_EQ(values[1].b, -7);
  EXPECT_EQ(values[2].c, 0x263A);
  EXPECT_EQ(values[3].s, -300);
  EXPECT_EQ(values[4].i, -123456);
  EXPECT_EQ(values[5].j, 9000000000LL);
  EXPECT_EQ(values[6].f, 1.5f);
  EXPECT_EQ(values[7].d, -2.25);
  EXPECT_EQ(values[8].l, reinterpret_cast<jobject>(&object));
  EXPECT_TRUE(readWindowsArguments("", slots.data()).empty());
}

std::optional<std::string> fakeWine(std::string_view windowsPath) {
  if (windowsPath.find("missing") != std::string_view::npos) return std::nullopt;
  std::string unixPath = "/prefix/drive_" + std::string(1, static_cast<char>(std::tolower(windowsPath[0])));
  for (char c : windowsPath.substr(2)) unixPath.push_back(c == '\\' ? '/' : c);
  return unixPath;
}

TEST(VmOptionPaths, AbsoluteWindowsPath) {
  const std::map<std::string, bool> cases = {{"C:\\x", true},  {"z:/tmp", true}, {"C:\\", true},
                                             {"C:", false},    {"C:x", false},   {"\\\\server\\share", false},
                                             {"/tmp", false},  {"1:\\x", false}, {"", false}};
  for (const auto& [text, absolute] : cases) EXPECT_EQ(isAbsoluteWindowsPath(text), absolute) << text;
}

TEST(VmOptionPaths, TranslateOption) {
  struct Case {
    const char* option;
    const char* expected;
  };
  const Case cases[] = {
      {"-Djava.class.path=C:\\app\\a.jar;lib\\b.jar;Z:\\tmp\\c", "-Djava.class.path=/prefix/drive_c/app/a.jar:lib/b.jar:/prefix/drive_z/tmp/c"},
      {"-Djava.library.path=C:\\windows;C:\\missing\\x", "-Djava.library.path=/prefix/drive_c/windows:C:\\missing\\x"},
      {"-Djava.class.path=", "-Djava.class.path="},
      {"-Xbootclasspath/a:C:\\boot.jar;D:\\more.jar", "-Xbootclasspath/a:/prefix/drive_c/boot.jar:/prefix/drive_d/more.jar"},
      {"-Drunvo.tempDir=C:\\users\\root\\Temp\\x", "-Drunvo.tempDir=/prefix/drive_c/users/root/Temp/x"},
      {"-Dlist=C:\\a;C:\\b", "-Dlist=/prefix/drive_c/a:/prefix/drive_c/b"},
      {"-Dmixed=C:\\a;relative", "-Dmixed=C:\\a;relative"},  // not a list of absolute paths
      {"-Durl=http://host:80/x", "-Durl=http://host:80/x"},
      {"-Dmessage=hello:C:\\x", "-Dmessage=hello:C:\\x"},     // a property's value starts after '='
      {"-Dempty=", "-Dempty="},
      {"-Xloggc:C:\\logs\\gc.log", "-Xloggc:/prefix/drive_c/logs/gc.log"},
      {"-XX:HeapDumpPath=C:\\dumps", "-XX:HeapDumpPath=/prefix/drive_c/dumps"},
      {"-javaagent:C:\\agent.jar=verbose", "-javaagent:/prefix/drive_c/agent.jar=verbose"},
      {"-Xmx256m", "-Xmx256m"},
      {"-XX:+UseG1GC", "-XX:+UseG1GC"},
      {"-Dfile=relative\\name.txt", "-Dfile=relative\\name.txt"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(translateOption(c.option, fakeWine), c.expected) << c.option;
}

TEST(VmOptionPaths, PathListKeepsItsEntries) {
  EXPECT_EQ(translatePathList("a;;b", fakeWine), "a::b");
  EXPECT_EQ(translatePathList("", fakeWine), "");
  EXPECT_EQ(translatePathList("C:\\x", fakeWine), "/prefix/drive_c/x");
}

TEST(VmOptionPaths, HookOptions) {
  EXPECT_EQ(hookOption("exit"), HookOption::Exit);
  EXPECT_EQ(hookOption("abort"), HookOption::Abort);
  EXPECT_EQ(hookOption("vfprintf"), HookOption::Vfprintf);
  for (const char* other : {"-Dexit=1", "exit ", "-Xrs", "", "Exit"}) EXPECT_EQ(hookOption(other), HookOption::None) << other;
}

TEST(Utf16, FromUtf8) {
  struct Case {
    std::string utf8;
    std::u16string utf16;
  };
  const Case cases[] = {
      {"plain", u"plain"},
      {"/tmp/caf\xC3\xA9", u"/tmp/caf\u00E9"},
      {"\xE2\x82\xAC", u"\u20AC"},
      {"\xF0\x9F\x98\x80", u"\U0001F600"},             // a surrogate pair
      {"\xED\xA0\xBD\xED\xB8\x80", u"\xD83D\xDE00"},   // modified UTF-8 spells the pair
      {"\xC0\x80", std::u16string(1, u'\0')},          // and NUL as two bytes
      {"a\xFF" "b", u"a\uFFFDb"},                      // no sequence starts with 0xFF
      {"\xE2\x82", u"\uFFFD\uFFFD"},                   // cut short
      {"", u""},
  };
  for (const Case& c : cases) EXPECT_EQ(utf8ToUtf16(c.utf8), c.utf16) << c.utf8;
}

TEST(Utf16, AsciiPrefix) {
  EXPECT_EQ(asciiPrefix(u"C:\\x", 3), "C:\\");
  EXPECT_EQ(asciiPrefix(u"\u00C9:\\", 3), "?:\\");
  EXPECT_EQ(asciiPrefix(u"C", 3), "C");
}

}  // namespace
}  // namespace runvo::bridge
