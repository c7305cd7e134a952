#include "pack/image/signing.h"

#include "pack/image/authenticode.h"
#include "pack/common/file_io.h"
#include "pack/image/pe_image.h"
#include "pack/common/platform.h"
#include "pack/common/text_encoding.h"

namespace runvo::pack {

namespace {

std::vector<std::string> signingArguments(const std::filesystem::path& input, const std::filesystem::path& output,
                                          const SigningRequest& request) {
  std::vector<std::string> arguments{"sign"};
  if (request.privateKey) {
    arguments.insert(arguments.end(), {"-certs", request.certificate.string(), "-key", request.privateKey->string()});
  } else {
    arguments.insert(arguments.end(), {"-pkcs12", request.certificate.string()});
  }
  // The password arrives on standard input, never in the process list.
  if (request.password) arguments.insert(arguments.end(), {"-readpass", "/dev/stdin"});
  if (request.timestampUrl) arguments.insert(arguments.end(), {"-ts", *request.timestampUrl});
  arguments.insert(arguments.end(), {"-h", "sha256", "-in", input.string(), "-out", output.string()});
  return arguments;
}

// The tool's own words, which say what it could not read or reach.
std::string toolMessage(const std::string& output) {
  std::string message = output;
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
  return message.empty() ? "(no output)" : message;
}

}  // namespace

// Paths go into the command in double quotes, which no Windows name holds.
std::string signtoolAnswer(const std::filesystem::path& executable, const SigningRequest& request, SigningStep step) {
  const bool fromPem = request.privateKey.has_value();
  const std::string certificate = fromPem ? "CERTIFICATE.pfx" : quotedPath(request.certificate);
  const std::string timestamp = escapedForMessage(request.timestampUrl.value_or("TIMESTAMP_URL"));
  std::string answer = step == SigningStep::AfterBuilding
                           ? "runvo-pack.exe does not sign; build without --sign, then sign the finished executable "
                             "with signtool from the Windows SDK:\n"
                           : "runvo-pack.exe does not sign; sign the executable with signtool from the Windows SDK:\n";
  answer += "  signtool sign /fd sha256 /f " + certificate + " /p PASSWORD /tr " + timestamp + " /td sha256 " +
            quotedPath(executable) + "\n";
  if (fromPem) {
    answer += "signtool takes the certificate and its key as one PKCS#12 file: openssl pkcs12 -export -in " +
              quotedPath(request.certificate) + " -inkey " + quotedPath(*request.privateKey) +
              " -out CERTIFICATE.pfx\n";
  }
  if (!request.timestampUrl) answer += "TIMESTAMP_URL is the RFC 3161 timestamp server of your certificate's vendor; ";
  return answer + "leave out /p PASSWORD for a file without one, or take the certificate from the certificate store "
                  "with /sha1 THUMBPRINT in place of /f and /p";
}

Expected<std::filesystem::path> findSigningTool(const std::filesystem::path& executable,
                                                const SigningRequest& request, SigningStep step) {
#ifdef _WIN32
  return failure(signtoolAnswer(executable, request, step));
#else
  (void)executable, (void)request, (void)step;
  if (auto tool = findOnPath(kSigningTool)) return *tool;
  return failure("signing needs " + std::string(kSigningTool) +
                 ", which is not on PATH: install it (Debian and Ubuntu: apt-get install osslsigncode), or pack "
                 "without --sign and sign the executable on Windows with signtool (see the README)");
#endif
}

Status checkSignable(const Bytes& executable) {
  const auto layout = locateImageEnd(executable);
  if (!layout) return layout.error();
  auto signature = readSignature(executable);
  if (!signature) return signature.error();
  if (*signature) {
    const std::string subject = (*signature)->subject.empty() ? "" : " by " + quotedForMessage((*signature)->subject);
    return failure("is already signed" + subject + "; pack it again (or with --replace) to sign anew");
  }
  if (!layout->hasAppendedData()) {
    return failure("carries no payload: sign the executable runvo-pack wrote, since packing after signing "
                   "would break the signature");
  }
  return Done{};
}

Status signExecutable(const std::filesystem::path& executable, const SigningRequest& request,
                      const std::filesystem::path& tool) {
  std::filesystem::path signedCopy = executable;
  signedCopy += ".signing-" + std::to_string(currentProcessId());
  auto run = runProgram(tool, signingArguments(executable, signedCopy, request), request.password.value_or(""));
  std::error_code ignored;
  if (!run || run->exitCode != 0) {
    std::filesystem::remove(signedCopy, ignored);
    const std::string why = run ? toolMessage(run->output) : run.error().message;
    return failure("cannot sign " + quotedPath(executable) + " with " + std::string(kSigningTool) + ":\n" + why);
  }
  std::error_code error;
  std::filesystem::rename(signedCopy, executable, error);
  if (error) {
    std::filesystem::remove(signedCopy, ignored);
    return failure("cannot replace " + quotedPath(executable) + " with its signed copy: " + error.message());
  }
  return Done{};
}

}  // namespace runvo::pack
