#include "pack/signing.h"

#include "pack/authenticode.h"
#include "pack/file_io.h"
#include "pack/pe_image.h"
#include "pack/platform.h"

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

Expected<std::filesystem::path> findSigningTool() {
  if (auto tool = findOnPath(kSigningTool)) return *tool;
  return failure("signing needs " + std::string(kSigningTool) +
                 ", which is not on PATH: install it (Debian and Ubuntu: apt-get install osslsigncode), or pack "
                 "without --sign and sign the executable on Windows with signtool (see the README)");
}

Status checkSignable(const Bytes& executable) {
  const auto layout = locateImageEnd(executable);
  if (!layout) return layout.error();
  auto signature = readSignature(executable);
  if (!signature) return signature.error();
  if (*signature) {
    const std::string subject = (*signature)->subject.empty() ? "" : " by \"" + (*signature)->subject + "\"";
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
    return failure("cannot sign \"" + displayPath(executable) + "\" with " + std::string(kSigningTool) + ":\n" + why);
  }
  std::error_code error;
  std::filesystem::rename(signedCopy, executable, error);
  if (error) {
    std::filesystem::remove(signedCopy, ignored);
    return failure("cannot replace \"" + displayPath(executable) + "\" with its signed copy: " + error.message());
  }
  return Done{};
}

}  // namespace runvo::pack
