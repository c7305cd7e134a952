#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "payload/embedded_name_rules.h"

namespace runvo {
namespace {

struct NameCase {
  std::string name;
  std::optional<NameHazard> hazard;
  std::string part = {};
};

using enum NameHazard;

const NameCase kCases[] = {
    // Plain names, one or more levels, either separator.
    {"app.jar", std::nullopt},
    {"lib\\app.jar", std::nullopt},
    {"lib/app.jar", std::nullopt},
    {"a\\b\\c.jar", std::nullopt},
    {".hidden", std::nullopt},
    {"a..b.jar", std::nullopt},
    {"..x", std::nullopt},
    {"\xC4rger.txt", std::nullopt},  // Windows-1252 letters are no control characters
    // Near misses of device names.
    {"CONSOLE.txt", std::nullopt},
    {"nul_x.txt", std::nullopt},
    {"xNUL", std::nullopt},
    {"COM10", std::nullopt},
    {"COM0", std::nullopt},
    {"LPT", std::nullopt},

    {"", Empty},

    {"\\rooted.txt", Rooted},
    {"/rooted.txt", Rooted},
    {"\\\\server\\share\\x", Rooted},

    {"C:x", Drive},
    {"C:\\x", Drive},
    {"c:/x", Drive},
    {"1:x", Drive},

    {"ab:c", Colon},
    {"file.txt:stream", Colon},
    {"lib\\a.jar:$DATA", Colon},

    {"..", ParentSegment},
    {"..\\escape.txt", ParentSegment},
    {"sub\\..\\..\\escape.txt", ParentSegment},
    {"sub/../../escape.txt", ParentSegment},
    {"lib\\..", ParentSegment},
    {".. \\escape.txt", ParentSegment},
    {"...\\escape.txt", ParentSegment},
    {"lib/.. .", ParentSegment},

    {"a\tb", ControlCharacter},
    {"lib\\a\nb", ControlCharacter},
    {std::string("a\0b", 3), ControlCharacter},
    {"\x1F", ControlCharacter},

    {"CON", DeviceName, "CON"},
    {"con.txt", DeviceName, "con.txt"},
    {"Aux.tar.gz", DeviceName, "Aux.tar.gz"},
    {"nul .txt", DeviceName, "nul .txt"},
    {"lib\\NUL", DeviceName, "NUL"},
    {"lib/prn.log", DeviceName, "prn.log"},
    {"com1", DeviceName, "com1"},
    {"LPT9.x", DeviceName, "LPT9.x"},
    {"COM\xB9", DeviceName, "COM\xB9"},
    {"CON\\app.jar", DeviceName, "CON"},
};

TEST(EmbeddedNameRules, EachHazardIsRecognised) {
  for (const NameCase& testCase : kCases) {
    SCOPED_TRACE(testCase.name);
    const auto unsafe = unsafeEmbeddedName(testCase.name);
    if (!testCase.hazard) {
      if (unsafe) ADD_FAILURE() << "refused: " << describeUnsafeName(*unsafe);
      continue;
    }
    if (!unsafe) {
      ADD_FAILURE() << "accepted";
      continue;
    }
    EXPECT_EQ(unsafe->hazard, *testCase.hazard) << describeUnsafeName(*unsafe);
    EXPECT_EQ(unsafe->part, testCase.part);
  }
}

TEST(EmbeddedNameRules, AnEscapeOutranksALaterDeviceName) {
  const auto unsafe = unsafeEmbeddedName("..\\CON");
  ASSERT_TRUE(unsafe.has_value());
  EXPECT_EQ(unsafe->hazard, ParentSegment);
}

TEST(EmbeddedNameRules, TheDescriptionNamesTheDevicePart) {
  EXPECT_EQ(describeUnsafeName({DeviceName, "lpt1.txt"}), "\"lpt1.txt\" is a reserved Windows device name");
}

}  // namespace
}  // namespace runvo
