// Signing through osslsigncode with a self-signed certificate made for the
// test, and what inspect and --replace make of signed executables.
#include <algorithm>
#include <regex>

#include "pack/image/authenticode.h"
#include "pack/common/byte_fields.h"
#include "pack/image/digest.h"
#include "pack/image/pe_image.h"
#include "pack/image/signing.h"
#include "pack_test_support.h"

namespace runvo::pack::testing {
namespace {

constexpr const char* kSubject = "CN=Runvo Test Signer, O=Runvo Tests";

bool toolsPresent() {
  return runCommand("command -v osslsigncode && command -v openssl").exitCode == 0;
}

class SignTest : public ScratchDirectory {
 protected:
  void SetUp() override {
    ScratchDirectory::SetUp();
    if (!toolsPresent()) GTEST_SKIP() << "osslsigncode and openssl are needed (scripts/setup installs them)";
    write("stub.exe", makeFakeStub());
    write("runtime.jar", makeFakeJar());
    write("data.txt", "the payload's file");
    write("app.toml", std::string(kRequiredFields) + "[[files]]\nsource = 'data.txt'\n");
    // A key protected by "keypass", its self-signed certificate, and both as
    // PKCS#12 protected by "p12pass".
    const CommandResult made = runCommand(
        "cd " + quoted(root_) +
        " && openssl req -x509 -newkey rsa:2048 -days 2 -keyout key.pem -out cert.pem -passout pass:keypass"
        " -subj '/CN=Runvo Test Signer/O=Runvo Tests'"
        " && openssl pkcs12 -export -inkey key.pem -in cert.pem -passin pass:keypass -out cert.p12 -passout pass:p12pass");
    ASSERT_EQ(made.exitCode, 0) << made.output;
  }

  CommandResult pack(const std::string& arguments, const std::string& environment = "") {
    return runCommand(environment + " " + quoted(RUNVO_PACK_EXE) + " " + arguments);
  }

  std::string buildArguments(const std::string& output = "app.exe", const std::string& stub = "stub.exe") {
    return "build " + quoted(path("app.toml")) + " -o " + quoted(path(output)) + " --stub " + quoted(path(stub)) +
           " --runtime-jar " + quoted(path("runtime.jar"));
  }

  CommandResult verify(const std::string& name) {
    return runCommand("osslsigncode verify -CAfile " + quoted(path("cert.pem")) + " -in " + quoted(path(name)));
  }

  std::string inspect(const std::string& name) { return pack("inspect " + quoted(path(name))).output; }

  std::vector<std::string> leftovers() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(root_)) {
      const std::string name = entry.path().filename().string();
      if (name.find(".unsigned-") != std::string::npos || name.find(".signing-") != std::string::npos) {
        names.push_back(name);
      }
    }
    return names;
  }
};

// The digest osslsigncode computes itself, for an independent comparison.
std::string osslsigncodeDigest(const std::string& verifyOutput) {
  std::smatch match;
  const std::regex current("Current message digest\\s*:\\s*([0-9A-F]+)");
  if (!std::regex_search(verifyOutput, match, current)) return "";
  std::string digest = match[1];
  std::transform(digest.begin(), digest.end(), digest.begin(), [](unsigned char c) { return std::tolower(c); });
  return digest;
}

struct PasswordCase {
  std::string_view what;
  std::string signArguments;
  std::string environment;
  std::string standardInput;
};

TEST_F(SignTest, EachKeyFormAndPasswordSourceGivesAVerifiedSignatureOverTheSamePayload) {
  const PasswordCase cases[] = {
      {"PKCS#12, password from the environment", "--sign " + quoted(path("cert.p12")), "RUNVO_SIGN_PASSWORD=p12pass", ""},
      {"PKCS#12, password on standard input", "--sign " + quoted(path("cert.p12")) + " --password-stdin", "",
       "p12pass"},
      {"PEM certificate and key, password on standard input",
       "--sign " + quoted(path("cert.pem")) + " --key " + quoted(path("key.pem")) + " --password-stdin", "",
       "keypass"},
  };
  ASSERT_EQ(pack(buildArguments("unsigned.exe")).exitCode, 0);
  const Bytes unsignedBytes = read("unsigned.exe");
  for (const PasswordCase& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string input = c.standardInput.empty() ? "" : "printf '" + c.standardInput + "\\n' | ";
    const CommandResult built = pack(buildArguments() + " " + c.signArguments, input + c.environment);
    ASSERT_EQ(built.exitCode, 0) << built.output;
    EXPECT_NE(built.output.find(", signed"), std::string::npos) << built.output;

    const CommandResult verified = verify("app.exe");
    EXPECT_EQ(verified.exitCode, 0) << verified.output;
    // Signing changed the checksum and the certificate directory, and added the
    // signature: the image and the payload are the unsigned build's, byte for byte.
    const Bytes signedBytes = read("app.exe");
    const auto fields = locateHeaderFields(signedBytes);
    ASSERT_TRUE(fields.ok());
    ASSERT_GT(signedBytes.size(), unsignedBytes.size());
    Bytes signedPrefix(signedBytes.begin(), signedBytes.begin() + unsignedBytes.size());
    writeLittleEndian(signedPrefix, fields->checksum, readU32(unsignedBytes, fields->checksum), 4);
    writeDataDirectory(signedPrefix, *fields, kCertificateDirectory, {});
    EXPECT_EQ(signedPrefix, unsignedBytes);

    const std::string listing = inspect("app.exe");
    EXPECT_NE(listing.find("signed-by \"" + std::string(kSubject) + "\""), std::string::npos) << listing;
    EXPECT_NE(listing.find("signature-digest sha256 " + osslsigncodeDigest(verified.output)), std::string::npos)
        << listing << verified.output;
    EXPECT_NE(listing.find("signature-covers-file yes"), std::string::npos) << listing;
    EXPECT_EQ(listing.find("trailing-bytes"), std::string::npos) << listing;

    // osslsigncode sets the checksum; ours must agree with it.
    EXPECT_EQ(imageChecksum(signedBytes, *fields), readU32(signedBytes, fields->checksum));
  }
  EXPECT_TRUE(leftovers().empty());
}

TEST_F(SignTest, AFailedSigningLeavesTheOldOutputAndNoTemporaryFile) {
  write("app.exe", "the previous build");
  const CommandResult wrong =
      pack(buildArguments() + " --sign " + quoted(path("cert.p12")), "RUNVO_SIGN_PASSWORD=wrong");
  EXPECT_EQ(wrong.exitCode, 1);
  EXPECT_NE(wrong.output.find("runvo-pack: cannot sign"), std::string::npos) << wrong.output;
  const Bytes kept = read("app.exe");
  EXPECT_EQ(std::string(kept.begin(), kept.end()), "the previous build");
  EXPECT_TRUE(leftovers().empty());
}

TEST_F(SignTest, WithoutOsslsigncodeNothingIsWrittenAndTheMessageSaysWhatToInstall) {
  const CommandResult built =
      pack(buildArguments() + " --sign " + quoted(path("cert.p12")), "PATH=/nonexistent");
  EXPECT_EQ(built.exitCode, 1);
  EXPECT_NE(built.output.find("runvo-pack: signing needs osslsigncode, which is not on PATH"), std::string::npos)
      << built.output;
  EXPECT_NE(built.output.find("apt-get install osslsigncode"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(path("app.exe")));
  EXPECT_TRUE(leftovers().empty());
}

TEST_F(SignTest, SignCommandSignsAPackedExecutableOnceAndRefusesWhatItShouldNot) {
  ASSERT_EQ(pack(buildArguments()).exitCode, 0);
  const std::string signArguments = " --cert " + quoted(path("cert.p12"));
  const std::string environment = "RUNVO_SIGN_PASSWORD=p12pass";

  const CommandResult signedOnce = pack("sign " + quoted(path("app.exe")) + signArguments, environment);
  ASSERT_EQ(signedOnce.exitCode, 0) << signedOnce.output;
  EXPECT_EQ(verify("app.exe").exitCode, 0);

  struct Refusal {
    std::string_view what;
    std::string file;
    std::string message;
  };
  const Refusal refusals[] = {
      {"a signed executable", "app.exe", "is already signed by \"" + std::string(kSubject) + "\""},
      {"the bare stub", "stub.exe", "carries no payload: sign the executable runvo-pack wrote"},
  };
  for (const Refusal& refusal : refusals) {
    SCOPED_TRACE(refusal.what);
    const Bytes before = read(refusal.file);
    const CommandResult refused = pack("sign " + quoted(path(refusal.file)) + signArguments, environment);
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.output.find(refusal.message), std::string::npos) << refused.output;
    EXPECT_EQ(read(refusal.file), before);
  }
}

// Bytes changed or added after signing: the signature no longer covers the file.
TEST_F(SignTest, InspectTellsWhenTheSignatureNoLongerCoversTheFile) {
  ASSERT_EQ(pack(buildArguments() + " --sign " + quoted(path("cert.p12")), "RUNVO_SIGN_PASSWORD=p12pass").exitCode, 0);
  const Bytes original = read("app.exe");
  const auto signature = readSignature(original);
  ASSERT_TRUE(signature.ok() && *signature);
  const std::uint32_t signatureOffset = (*signature)->offset;

  struct Tampering {
    std::string_view what;
    Bytes bytes;
    std::string expectedLine;
  };
  Bytes flippedPayload = original;
  flippedPayload[makeFakeStub().size() + 10] ^= 0x01;
  Bytes appended = original;
  appended.insert(appended.end(), {'x', 'y', 'z'});
  const Tampering cases[] = {
      {"untouched", original, "signature-covers-file yes"},
      {"a payload byte changed", flippedPayload, "signature-covers-file no"},
      {"bytes appended", appended, "trailing-bytes 3 after the signature"},
  };
  for (const Tampering& c : cases) {
    SCOPED_TRACE(c.what);
    write("tampered.exe", c.bytes);
    const std::string listing = inspect("tampered.exe");
    EXPECT_NE(listing.find("signature " + std::to_string(signatureOffset) + " "), std::string::npos) << listing;
    EXPECT_NE(listing.find(c.expectedLine), std::string::npos) << listing;
  }
  write("tampered.exe", appended);
  EXPECT_NE(inspect("tampered.exe").find("signature-covers-file no"), std::string::npos);
}

// A certificate directory that points astray is damage worth a warning (exit 1).
TEST_F(SignTest, InspectWarnsOfACertificateTableItCannotRead) {
  ASSERT_EQ(pack(buildArguments() + " --sign " + quoted(path("cert.p12")), "RUNVO_SIGN_PASSWORD=p12pass").exitCode, 0);
  const Bytes original = read("app.exe");
  const auto fields = locateHeaderFields(original);
  ASSERT_TRUE(fields.ok());
  const DataDirectory table = readDataDirectory(original, *fields, kCertificateDirectory);

  struct Damage {
    std::string_view what;
    DataDirectory entry;
    std::string message;
  };
  const Damage cases[] = {
      {"past the end", {table.address, table.size + 8}, "lies outside the file"},
      {"not a signature", {table.address - 16, 16}, "does not hold a PKCS#7 signature"},
  };
  for (const Damage& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes damaged = original;
    writeDataDirectory(damaged, *fields, kCertificateDirectory, c.entry);
    write("damaged.exe", damaged);
    const CommandResult listed = pack("inspect " + quoted(path("damaged.exe")));
    EXPECT_EQ(listed.exitCode, 1);
    EXPECT_NE(listed.output.find("warning the signature cannot be read: "), std::string::npos) << listed.output;
    EXPECT_NE(listed.output.find(c.message), std::string::npos) << listed.output;
    EXPECT_NE(listed.output.find("file 1 "), std::string::npos) << listed.output;
  }
}

TEST_F(SignTest, ReplaceDropsTheSignatureWithTheOldPayload) {
  ASSERT_EQ(pack(buildArguments("signed.exe") + " --sign " + quoted(path("cert.p12")), "RUNVO_SIGN_PASSWORD=p12pass")
                .exitCode, 0);
  const CommandResult refused = pack(buildArguments("again.exe", "signed.exe"));
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.output.find("is signed"), std::string::npos) << refused.output;

  const CommandResult replaced = pack(buildArguments("again.exe", "signed.exe") + " --replace");
  ASSERT_EQ(replaced.exitCode, 0) << replaced.output;
  const Bytes again = read("again.exe");
  ASSERT_EQ(pack(buildArguments("plain.exe")).exitCode, 0);
  const Bytes plain = read("plain.exe");
  ASSERT_EQ(again.size(), plain.size());

  const auto fields = locateHeaderFields(again);
  ASSERT_TRUE(fields.ok());
  const DataDirectory table = readDataDirectory(again, *fields, kCertificateDirectory);
  EXPECT_EQ(table.address, 0u);
  EXPECT_EQ(table.size, 0u);
  EXPECT_EQ(readU32(again, fields->checksum), imageChecksum(again, *fields));
  EXPECT_EQ(inspect("again.exe").find("signature"), std::string::npos);
  // Apart from the checksum the result is the unsigned build's, byte for byte.
  Bytes withoutChecksum = again;
  writeLittleEndian(withoutChecksum, fields->checksum, readU32(plain, fields->checksum), 4);
  EXPECT_EQ(withoutChecksum, plain);
}

struct DigestCase {
  std::string message;
  std::string sha1;
  std::string sha256;
};

std::string hex(const std::vector<std::uint8_t>& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (std::uint8_t byte : bytes) text += {kDigits[byte >> 4], kDigits[byte & 15]};
  return text;
}

// runvo-pack.exe does not sign; what it says in place, checked here since
// the text is built on every platform.
struct SigntoolAnswerCase {
  std::string_view what;
  SigningStep step;
  SigningRequest request;
  std::string_view expected;
};

TEST(SigntoolAnswer, TheWindowsBuilderSaysItDoesNotSignAndGivesSigntoolsCommand) {
  const SigntoolAnswerCase cases[] = {
      {"build --sign", SigningStep::AfterBuilding, {"certs\\company.pfx"},
       "runvo-pack.exe does not sign; build without --sign, then sign the finished executable with signtool from "
       "the Windows SDK:\n"
       "  signtool sign /fd sha256 /f \"certs\\company.pfx\" /p PASSWORD /tr TIMESTAMP_URL /td sha256 "
       "\"My Service.exe\"\n"
       "TIMESTAMP_URL is the RFC 3161 timestamp server of your certificate's vendor; leave out /p PASSWORD for a "
       "file without one, or take the certificate from the certificate store with /sha1 THUMBPRINT in place of /f "
       "and /p"},
      {"sign with a timestamp server", SigningStep::Alone,
       {"company.pfx", std::nullopt, std::nullopt, "http://timestamp.example.com"},
       "runvo-pack.exe does not sign; sign the executable with signtool from the Windows SDK:\n"
       "  signtool sign /fd sha256 /f \"company.pfx\" /p PASSWORD /tr http://timestamp.example.com /td sha256 "
       "\"My Service.exe\"\n"
       "leave out /p PASSWORD for a file without one, or take the certificate from the certificate store with /sha1 "
       "THUMBPRINT in place of /f and /p"},
      {"a PEM certificate and key", SigningStep::Alone, {"cert.pem", "key.pem"},
       "runvo-pack.exe does not sign; sign the executable with signtool from the Windows SDK:\n"
       "  signtool sign /fd sha256 /f CERTIFICATE.pfx /p PASSWORD /tr TIMESTAMP_URL /td sha256 \"My Service.exe\"\n"
       "signtool takes the certificate and its key as one PKCS#12 file: openssl pkcs12 -export -in \"cert.pem\" "
       "-inkey \"key.pem\" -out CERTIFICATE.pfx\n"
       "TIMESTAMP_URL is the RFC 3161 timestamp server of your certificate's vendor; leave out /p PASSWORD for a "
       "file without one, or take the certificate from the certificate store with /sha1 THUMBPRINT in place of /f "
       "and /p"},
  };
  for (const SigntoolAnswerCase& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(signtoolAnswer("My Service.exe", c.request, c.step), c.expected);
  }
}

// Known answers from FIPS 180, around the padding's block boundary too.
TEST(DigestTest, KnownAnswers) {
  const DigestCase cases[] = {
      {"", "da39a3ee5e6b4b0d3255bfef95601890afd80709",
       "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "a9993e364706816aba3e25717850c26c9cd0d89d",
       "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", "84983e441c3bd26ebaae4aa1f95129e5e54670f1",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(1000000, 'a'), "34aa973cd4c4daa4f61eeb2bdbad27316534016f",
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const DigestCase& c : cases) {
    SCOPED_TRACE(c.message.substr(0, 20));
    const auto* data = reinterpret_cast<const std::uint8_t*>(c.message.data());
    Sha1 sha1;
    Sha256 sha256;
    // Fed in uneven pieces, so that the buffering across blocks is exercised.
    for (std::size_t at = 0; at < c.message.size(); at += 37) {
      const std::size_t size = std::min<std::size_t>(37, c.message.size() - at);
      sha1.update(data + at, size);
      sha256.update(data + at, size);
    }
    EXPECT_EQ(hex(sha1.finish()), c.sha1);
    EXPECT_EQ(hex(sha256.finish()), c.sha256);
  }
}

}  // namespace
}  // namespace runvo::pack::testing
