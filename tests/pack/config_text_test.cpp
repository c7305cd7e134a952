// How a config written on Windows reads: control characters that a Windows
// path in double quotes brings along, in every kind of field, and the
// encodings that Windows editors save in.
#include <algorithm>

#include "pack_test_support.h"

namespace runvo::pack::testing {
namespace {

// A field of each kind, '@' where the value goes. A field that the required
// fields set already replaces their line.
struct FieldKindCase {
  std::string_view field;  // as messages name it
  std::string_view toml;
};

const FieldKindCase kFieldKinds[] = {
    {"service.name", "service.name = @"},
    {"app.main_class", "app.main_class = @"},
    {"service.log_folder", "service.log_folder = @"},
    {"app.working_directory", "app.working_directory = @"},
    {"output.stdout_file", "output.stdout_file = @"},
    {"service.description", "service.description = @"},
    {"service.dependencies", "service.dependencies = ['Tcpip', @]"},
    {"app.native_library_path", "app.native_library_path = @"},
    {"service.environment", "service.environment = ['A=1', @]"},
    {"app.arguments", "app.arguments = @"},
    {"jvm.options", "jvm.options = ['-Xmx1g', @]"},
    {"app.classpath", "app.classpath = @"},
    {"app.classpath", "app.classpath = [{ jar = @, required = false }]"},
    {"jvm.search", "jvm.search = ['registry', { dir = @ }]"},
    {"jvm.min_version", "jvm.min_version = @"},
    {"launcher.flavour", "launcher.flavour = @"},
    {"messages.caption", "messages.caption = @"},
    {"jvm.bundle", "jvm.bundle = @"},
    {"identity.company", "[identity]\ncompany = @"},
    {"identity.version", "[identity]\nversion = @"},
    {"identity.icon", "[identity]\nicon = @"},
    {"files[1].source", "[[files]]\nsource = @"},
    {"files[1].name", "[[files]]\nsource = 'app.jar'\nname = @"},
    {"[raw] \"30001\"", "[raw]\n30001 = @"},
    {"[raw_wide] \"20017\"", "[raw_wide]\n20017 = @"},
};

// Each as a Windows path in double quotes would bring it along ("C:\temp"),
// and once written as a \u escape, which is no slip of a path.
struct ControlCase {
  std::string_view written;  // in the TOML string
  std::string_view named;
  std::string_view shown;    // in the message's quoted value
  bool hinted;
};

const ControlCase kControls[] = {
    {"\\t", "U+0009 (tab)", "\\t", true},
    {"\\b", "U+0008 (backspace)", "\\x08", true},
    {"\\n", "U+000A (line feed)", "\\n", true},
    {"\\r", "U+000D (carriage return)", "\\r", true},
    {"\\f", "U+000C (form feed)", "\\x0C", true},
    {"\\u0001", "U+0001", "\\x01", false},
};

constexpr std::string_view kEscapeHint =
    "; hint: in double quotes TOML reads \\t, \\b, \\n, \\r and \\f as control characters: use single quotes for "
    "Windows paths (TOML literal strings), e.g. 'C:\\java\\jdk17'";

class ConfigTextTest : public ScratchDirectory {
 protected:
  void SetUp() override {
    ScratchDirectory::SetUp();
    write("app.jar", "jar");
  }

  // The required fields with the case's field and value; the line the value is on.
  static std::pair<std::string, unsigned> configWith(const FieldKindCase& kind, std::string_view value) {
    std::string field(kind.toml);
    field.replace(field.find('@'), 1, value);
    std::string config(kRequiredFields);
    const std::string key = field.substr(0, field.find(" = ") + 3);
    if (const std::size_t at = config.find(key); at != std::string::npos) {
      config.replace(at, config.find('\n', at) - at, field);
    } else {
      config += field + "\n";
    }
    const std::size_t valueAt = config.find(value);
    return {config, static_cast<unsigned>(std::count(config.begin(), config.begin() + valueAt, '\n') + 1)};
  }
};

TEST_F(ConfigTextTest, EveryKindOfFieldRefusesControlCharactersNamingFieldLineAndCharacter) {
  for (const FieldKindCase& kind : kFieldKinds) {
    for (const ControlCase& control : kControls) {
      const std::string value = "\"C:" + std::string(control.written) + "x\"";
      const auto [config, line] = configWith(kind, value);
      SCOPED_TRACE(config);
      auto plan = load(config);
      EXPECT_EQ(plan ? "<accepted>" : plan.error().message,
                "app.toml:" + std::to_string(line) + ": " + std::string(kind.field) + " holds the control character " +
                    std::string(control.named) + ": \"C:" + std::string(control.shown) + "x\"" +
                    (control.hinted ? std::string(kEscapeHint) : ""));
    }
  }
}

// The hint is for values written in double quotes only: a literal string
// holds a line break only when it spans lines.
TEST_F(ConfigTextTest, ALineBreakInAMultiLineLiteralStringIsRefusedWithoutTheHint) {
  auto plan = load(std::string(kRequiredFields) + "service.log_folder = '''logs\nold'''\n");
  ASSERT_FALSE(plan.ok());
  EXPECT_EQ(plan.error().message,
            "app.toml:3: service.log_folder holds the control character U+000A (line feed): \"logs\\nold\"");
}

struct LineBreakCase {
  std::string_view toml;  // added to the required fields
  std::int32_t key;
  std::string_view stored;  // nothing: refused
};

// A line feed is meant in the fields read as lines, in a string of their
// own; in an array's element it would split the element.
const LineBreakCase kLineBreakCases[] = {
    {R"(service.environment = "A=1\nB=C:\\x")", 30014, "A=1\nB=C:\\x"},
    {R"(messages.no_jvm_found = "No Java.\nInstall one.")", 1016, "No Java.\nInstall one."},
    {R"(raw.1016 = "No Java.\nInstall one.")", 1016, "No Java.\nInstall one."},
    {R"(raw.5000 = "a key of no field\nmay be lines")", 5000, "a key of no field\nmay be lines"},
    {R"(service.environment = ["A=1\nB=2"])", 30014, ""},
    {R"(messages.caption = "Error\nin two lines")", 1000, ""},
    {R"(raw.30001 = "logs\nmore")", 30001, ""},
    {R"(service.environment = "A=1\tB=2")", 30014, ""},
};

TEST_F(ConfigTextTest, OnlyFieldsReadAsLinesTakeALineFeed) {
  for (const LineBreakCase& testCase : kLineBreakCases) {
    SCOPED_TRACE(testCase.toml);
    auto plan = load(std::string(kRequiredFields) + std::string(testCase.toml) + "\n");
    if (testCase.stored.empty()) {
      ASSERT_FALSE(plan.ok());
      EXPECT_NE(plan.error().message.find(" holds the control character "), std::string::npos) << plan.error().message;
    } else {
      ASSERT_TRUE(plan.ok()) << plan.error().message;
      EXPECT_EQ(plan->table.narrow().at(testCase.key), testCase.stored);
    }
  }
}

// The UTF-16 that Windows editors and PowerShell 5 save, from the UTF-8 text.
std::string utf16(std::string_view ascii, bool bigEndian, bool withMark) {
  std::string bytes = withMark ? (bigEndian ? "\xFE\xFF" : "\xFF\xFE") : "";
  for (char c : ascii) bytes += bigEndian ? std::string{'\0', c} : std::string{c, '\0'};
  return bytes;
}

TEST_F(ConfigTextTest, UTF16WithAByteOrderMarkReadsLikeUTF8) {
  const std::string config = std::string(kRequiredFields) + "service.description = \"caf\\u00E9 \\U0001F600\"\n";
  auto fromUtf8 = load(config);
  ASSERT_TRUE(fromUtf8.ok()) << fromUtf8.error().message;
  for (const bool bigEndian : {false, true}) {
    SCOPED_TRACE(bigEndian ? "big-endian" : "little-endian");
    auto fromUtf16 = load(utf16(config, bigEndian, true));
    ASSERT_TRUE(fromUtf16.ok()) << fromUtf16.error().message;
    EXPECT_EQ(fromUtf16->table.narrow(), fromUtf8->table.narrow());
    EXPECT_EQ(fromUtf16->table.wide(), fromUtf8->table.wide());
  }
  // Characters beyond ASCII, a surrogate pair among them, as UTF-16 units.
  auto nonAscii = load(std::string("\xFF\xFE") + utf16(std::string(kRequiredFields) + "service.description = '", false,
                                                       false) +
                       std::string("\xE9\x00\x3D\xD8\x00\xDE", 6) + utf16("'\n", false, false));
  ASSERT_TRUE(nonAscii.ok()) << nonAscii.error().message;
  EXPECT_EQ(nonAscii->table.wide().at(20017), (WideString{0xE9, 0xD83D, 0xDE00}));
}

struct EncodingRefusalCase {
  std::string_view what;
  std::string bytes;
  std::string_view expected;
};

TEST_F(ConfigTextTest, OtherEncodingsAreRefusedSayingWhatWasSeen) {
  const std::string config(kRequiredFields);
  const EncodingRefusalCase cases[] = {
      {"UTF-16 without a byte order mark", utf16(config, false, false),
       "app.toml: the file looks like UTF-16 (little-endian) without a byte order mark: every other byte is zero; "
       "save it as UTF-8"},
      {"big-endian UTF-16 without a byte order mark", utf16(config, true, false),
       "app.toml: the file looks like UTF-16 (big-endian) without a byte order mark: every other byte is zero; "
       "save it as UTF-8"},
      {"UTF-16 cut in the middle of a character", utf16(config, false, true) + "x",
       "app.toml: the file is UTF-16 (little-endian) with an odd number of bytes; save it as UTF-8"},
      {"UTF-16 with an unpaired surrogate", utf16(config, false, true) + std::string("\x00\xD8\x41\x00", 4),
       "app.toml: the file is UTF-16 (little-endian) holding an unpaired surrogate U+D800; save it as UTF-8"},
      {"the Western ANSI code page", config + "service.description = 'caf\xE9'\n",
       "app.toml:3:27: the text is not valid UTF-8: the byte 0xE9 there is U+00E9 '\xC3\xA9' in Windows-1252, as if "
       "the file were saved in an ANSI code page; save it as UTF-8"},
      {"a byte Windows-1252 leaves undefined", config + "service.description = '\x81'\n",
       "app.toml:3:24: the text is not valid UTF-8: the byte 0x81 there starts no UTF-8 character; save it as UTF-8"},
  };
  for (const EncodingRefusalCase& testCase : cases) {
    SCOPED_TRACE(testCase.what);
    auto plan = load(testCase.bytes);
    ASSERT_FALSE(plan.ok());
    EXPECT_EQ(plan.error().message, testCase.expected);
  }
}

}  // namespace
}  // namespace runvo::pack::testing
