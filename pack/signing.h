// Authenticode signing of a packed executable with osslsigncode. Signing
// comes last: the signature covers the whole file, the payload included, so
// anything appended after it would break the signature.
#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "pack/expected.h"
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

// osslsigncode on PATH, or a message that says what to install.
Expected<std::filesystem::path> findSigningTool();

// A file to sign must carry a payload (signing the bare stub would be lost
// at packing) and no signature yet. Messages do not name the file.
Status checkSignable(const Bytes& executable);

// Signs `executable` in place: the signed copy is written beside it and
// renamed over it, so a failure leaves the file as it was.
Status signExecutable(const std::filesystem::path& executable, const SigningRequest& request,
                      const std::filesystem::path& tool);

}  // namespace runvo::pack
