// Reads an Authenticode signature the way an administrator wants to see it:
// who signed, with which digest, and whether that digest still matches the
// file. Trust (the certificate chain) is the signing tools' business.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "pack/common/expected.h"
#include "payload/payload_writer.h"

namespace runvo::pack {

struct SignatureReport {
  std::uint32_t offset = 0;  // of the certificate table, which runs to its size
  std::uint32_t size = 0;
  std::string subject;       // "CN=..., O=...", as the signer's certificate names it
  std::string digestName;    // "sha256", "sha1", or the algorithm's dotted number
  std::string digestHex;     // the digest the signature carries
  std::optional<bool> coversFile;  // nothing when the digest is not one runvo computes
};

// Nothing when the certificate directory is empty (or the headers have none).
// A failure when it points outside the file or its content cannot be read;
// messages do not name the file.
Expected<std::optional<SignatureReport>> readSignature(const Bytes& executable);

}  // namespace runvo::pack
