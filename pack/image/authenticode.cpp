#include "pack/image/authenticode.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "pack/common/byte_fields.h"
#include "pack/image/digest.h"
#include "pack/image/pe_image.h"
#include "pack/common/text_encoding.h"

namespace runvo::pack {

namespace {

constexpr std::uint32_t kCertificateHeaderSize = 8;  // WIN_CERTIFICATE: length, revision, type
constexpr std::uint16_t kPkcsSignedData = 2;

constexpr std::uint8_t kSequence = 0x30;
constexpr std::uint8_t kSet = 0x31;
constexpr std::uint8_t kInteger = 0x02;
constexpr std::uint8_t kOctetString = 0x04;
constexpr std::uint8_t kObjectIdentifier = 0x06;
constexpr std::uint8_t kContextZero = 0xA0;

// One DER element: its tag and where its content lies in the file.
struct Element {
  std::uint8_t tag = 0;
  std::size_t start = 0;  // of the whole element, tag included
  std::size_t contentStart = 0;
  std::size_t end = 0;
};

// Definite lengths only: Authenticode signatures are DER.
std::optional<Element> elementAt(const Bytes& bytes, std::size_t at, std::size_t limit) {
  if (at + 2 > limit) return std::nullopt;
  Element element{bytes[at], at, at + 2, 0};
  std::size_t length = bytes[at + 1];
  if (length & 0x80) {
    const std::size_t lengthBytes = length & 0x7F;
    if (lengthBytes == 0 || lengthBytes > 4 || element.contentStart + lengthBytes > limit) return std::nullopt;
    length = 0;
    for (std::size_t i = 0; i < lengthBytes; ++i) length = (length << 8) | bytes[element.contentStart++];
  }
  if (length > limit - element.contentStart) return std::nullopt;
  element.end = element.contentStart + length;
  return element;
}

std::vector<Element> childrenOf(const Bytes& bytes, const Element& parent) {
  std::vector<Element> children;
  for (std::size_t at = parent.contentStart; at < parent.end;) {
    auto child = elementAt(bytes, at, parent.end);
    if (!child) return {};
    children.push_back(*child);
    at = child->end;
  }
  return children;
}

// The child of `parent` at `index` if it has tag `tag`.
std::optional<Element> child(const Bytes& bytes, const std::optional<Element>& parent, std::size_t index,
                             std::uint8_t tag) {
  if (!parent) return std::nullopt;
  const auto children = childrenOf(bytes, *parent);
  if (index >= children.size() || children[index].tag != tag) return std::nullopt;
  return children[index];
}

Bytes contentOf(const Bytes& bytes, const Element& element) {
  return Bytes(bytes.begin() + element.contentStart, bytes.begin() + element.end);
}
Bytes wholeOf(const Bytes& bytes, const Element& element) {
  return Bytes(bytes.begin() + element.start, bytes.begin() + element.end);
}

std::string dottedObjectIdentifier(const Bytes& encoded) {
  std::string dotted;
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < encoded.size(); ++i) {
    value = (value << 7) | (encoded[i] & 0x7F);
    if (encoded[i] & 0x80) continue;
    if (dotted.empty()) {
      const std::uint64_t first = std::min<std::uint64_t>(value / 40, 2);
      dotted = std::to_string(first) + "." + std::to_string(value - first * 40);
    } else {
      dotted += "." + std::to_string(value);
    }
    value = 0;
  }
  return dotted;
}

std::string attributeName(const std::string& dotted) {
  static const std::pair<const char*, const char*> kNames[] = {
      {"2.5.4.3", "CN"}, {"2.5.4.6", "C"},  {"2.5.4.7", "L"},  {"2.5.4.8", "ST"},
      {"2.5.4.10", "O"}, {"2.5.4.11", "OU"}, {"1.2.840.113549.1.9.1", "emailAddress"}};
  for (const auto& [number, name] : kNames) {
    if (dotted == number) return name;
  }
  return dotted;
}

std::string attributeText(const Bytes& bytes, const Element& value) {
  std::string text;
  constexpr std::uint8_t kBmpString = 0x1E;
  if (value.tag == kBmpString) {
    for (std::size_t at = value.contentStart; at + 1 < value.end; at += 2) {
      appendUtf8(text, (char32_t{bytes[at]} << 8) | bytes[at + 1]);
    }
    return text;
  }
  return std::string(bytes.begin() + value.contentStart, bytes.begin() + value.end);
}

// "CN=Example, O=Example Ltd", in the order the certificate stores the parts.
std::string distinguishedName(const Bytes& bytes, const Element& name) {
  std::string text;
  for (const Element& relative : childrenOf(bytes, name)) {
    for (const Element& attribute : childrenOf(bytes, relative)) {
      const auto parts = childrenOf(bytes, attribute);
      if (parts.size() != 2 || parts[0].tag != kObjectIdentifier) continue;
      if (!text.empty()) text += ", ";
      text += attributeName(dottedObjectIdentifier(contentOf(bytes, parts[0]))) + "=" +
              attributeText(bytes, parts[1]);
    }
  }
  return text;
}

// The subject of the certificate whose issuer and serial number the signer names.
std::optional<std::string> signerSubject(const Bytes& bytes, const std::optional<Element>& certificates,
                                         const Element& issuerAndSerial) {
  const auto signerIssuer = child(bytes, issuerAndSerial, 0, kSequence);
  const auto signerSerial = child(bytes, issuerAndSerial, 1, kInteger);
  if (!certificates || !signerIssuer || !signerSerial) return std::nullopt;
  for (const Element& certificate : childrenOf(bytes, *certificates)) {
    const auto toBeSigned = child(bytes, certificate, 0, kSequence);
    if (!toBeSigned) continue;
    auto fields = childrenOf(bytes, *toBeSigned);
    if (!fields.empty() && fields[0].tag == kContextZero) fields.erase(fields.begin());  // the version
    if (fields.size() < 5 || fields[0].tag != kInteger) continue;
    if (wholeOf(bytes, fields[0]) == wholeOf(bytes, *signerSerial) &&
        wholeOf(bytes, fields[2]) == wholeOf(bytes, *signerIssuer)) {
      return distinguishedName(bytes, fields[4]);
    }
  }
  return std::nullopt;
}

std::unique_ptr<Digest> digestFor(const std::string& name) {
  if (name == "sha256") return std::make_unique<Sha256>();
  if (name == "sha1") return std::make_unique<Sha1>();
  return nullptr;
}

std::string digestName(const std::string& dotted) {
  if (dotted == "2.16.840.1.101.3.4.2.1") return "sha256";
  if (dotted == "1.3.14.3.2.26") return "sha1";
  if (dotted == "2.16.840.1.101.3.4.2.2") return "sha384";
  if (dotted == "2.16.840.1.101.3.4.2.3") return "sha512";
  return dotted;
}

std::string hexText(const Bytes& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (std::uint8_t byte : bytes) hex += {kDigits[byte >> 4], kDigits[byte & 15]};
  return hex;
}

// The whole file except the checksum, the table's directory entry and the
// table itself: what a signature's digest is taken over. Data appended after
// signing is taken too, so it makes the digest differ, as it does for Windows.
Bytes fileDigest(const Bytes& executable, const HeaderFields& fields, const DataDirectory& table, Digest& digest) {
  const std::uint64_t directoryEntry = fields.dataDirectories + 8 * kCertificateDirectory;
  const std::uint64_t tableEnd = std::uint64_t{table.address} + table.size;
  digest.update(executable.data(), fields.checksum);
  digest.update(executable.data() + fields.checksum + 4, directoryEntry - fields.checksum - 4);
  digest.update(executable.data() + directoryEntry + 8, table.address - directoryEntry - 8);
  digest.update(executable.data() + tableEnd, executable.size() - tableEnd);
  return digest.finish();
}

PackError unreadable(const std::string& why) { return failure("the signature cannot be read: " + why); }

}  // namespace

Expected<std::optional<SignatureReport>> readSignature(const Bytes& executable) {
  // Without the optional header's fields there is no certificate directory either.
  const auto fields = locateHeaderFields(executable);
  if (!fields) return std::optional<SignatureReport>{};
  const DataDirectory table = readDataDirectory(executable, *fields, kCertificateDirectory);
  if (table.address == 0 && table.size == 0) return std::optional<SignatureReport>{};
  if (table.address < fields->sectionTable || table.size < kCertificateHeaderSize ||
      std::uint64_t{table.address} + table.size > executable.size()) {
    return unreadable("its certificate table (offset " + std::to_string(table.address) + ", " +
                      std::to_string(table.size) + " bytes) lies outside the file");
  }
  const std::uint32_t length = readU32(executable, table.address);
  if (readU16(executable, table.address + 6) != kPkcsSignedData || length < kCertificateHeaderSize ||
      length > table.size) {
    return unreadable("the certificate table does not hold a PKCS#7 signature");
  }

  const auto signedData = child(executable, child(executable, elementAt(executable, table.address + 8,
                                                                       table.address + length), 1, kContextZero),
                                0, kSequence);
  if (!signedData) return unreadable("no PKCS#7 signed data");
  const auto parts = childrenOf(executable, *signedData);
  const auto indirectData = child(executable, child(executable, child(executable, signedData, 2, kSequence), 1,
                                                    kContextZero), 0, kSequence);
  const auto digestInfo = child(executable, indirectData, 1, kSequence);
  const auto algorithm = child(executable, child(executable, digestInfo, 0, kSequence), 0, kObjectIdentifier);
  const auto digest = child(executable, digestInfo, 1, kOctetString);
  if (!algorithm || !digest || parts.empty() || parts.back().tag != kSet) {
    return unreadable("no Authenticode digest");
  }
  const std::optional<Element> certificates =
      parts.size() > 3 && parts[3].tag == kContextZero ? std::optional(parts[3]) : std::nullopt;
  const auto signer = child(executable, child(executable, parts.back(), 0, kSequence), 1, kSequence);

  SignatureReport report{table.address, table.size};
  report.subject = signer ? signerSubject(executable, certificates, *signer).value_or("") : "";
  report.digestName = digestName(dottedObjectIdentifier(contentOf(executable, *algorithm)));
  const Bytes carried = contentOf(executable, *digest);
  report.digestHex = hexText(carried);
  if (auto computer = digestFor(report.digestName)) {
    report.coversFile = fileDigest(executable, *fields, table, *computer) == carried;
  }
  return std::optional<SignatureReport>{std::move(report)};
}

}  // namespace runvo::pack
