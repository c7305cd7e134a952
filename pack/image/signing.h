// Authenticode signing of a packed executable with osslsigncode, by the
// Linux builder; runvo-pack.exe does not sign, and names signtool's command
// instead. Signing comes last: the signature covers the whole file, the
// payload included, so anything appended after it would break the signature.
#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "pack/common/expected.h"
#include "payload/payload_writer.h"

namespace runvo::pack {

inline constexpr std::string_view kSigningTool = "osslsigncode";
inline constexpr std::string_view kSigningPasswordVariable = "RUNVO_SIGN_PASSWORD";

struct SigningRequest {
  std::filesystem::path certificate;  // a PKCS#12 file, or PEM certificates with privateKey
  std::optional<std::filesystem::path> privateKey;
  std::optional<std::string> password;  // of the PKCS#12 file or of the key
  std::optional<std::string> timestampUrl;
};

// Whether the signing follows a build (build --sign) or stands alone (sign).
enum class SigningStep { AfterBuilding, Alone };

// runvo-pack.exe's answer to a signing request: it does not sign, and the
// signtool command (Windows SDK) that signs `executable` with the request's
// certificate and timestamp server. Built on every platform, so that the
// native tests check the text.
std::string signtoolAnswer(const std::filesystem::path& executable, const SigningRequest& request, SigningStep step);

// osslsigncode on PATH, or a message that says what to install; on Windows
// always the signtoolAnswer. The password is not needed yet.
Expected<std::filesystem::path> findSigningTool(const std::filesystem::path& executable,
                                                const SigningRequest& request, SigningStep step);

// A file to sign must carry a payload (signing the bare stub would be lost
// at packing) and no signature yet. Messages do not name the file.
Status checkSignable(const Bytes& executable);

// Signs `executable` in place: the signed copy is written beside it and
// renamed over it, so a failure leaves the file as it was.
Status signExecutable(const std::filesystem::path& executable, const SigningRequest& request,
                      const std::filesystem::path& tool);

}  // namespace runvo::pack
