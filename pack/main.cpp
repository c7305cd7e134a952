// runvo-pack: builds a service executable from a TOML config or straight
// from a jar, signs it, writes a starting config for a jar, lists what an
// executable carries, and smoke-tests one under Wine. Exit codes: 0 success, 1 bad input
// or failure, 2 wrong command line.
#include <CLI/CLI.hpp>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "pack/build/builder.h"
#include "pack/common/file_io.h"
#include "pack/build/inspector.h"
#include "pack/common/platform.h"
#include "pack/config/quick_pack.h"
#include "pack/image/signing.h"
#include "pack/common/text_encoding.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

namespace {

using namespace runvo::pack;

constexpr int kFailure = 1;
constexpr int kUsageError = 2;
constexpr const char* kVersion = "runvo-pack 0.1.0";

// Every line runvo-pack says on standard error starts with its name, so a
// script's log shows whose message it is.
std::string prefixedLines(const std::string& message) {
  std::istringstream lines(message);
  std::string prefixed;
  for (std::string line; std::getline(lines, line);) prefixed += "runvo-pack: " + line + "\n";
  return prefixed;
}

int reportFailure(const std::string& message) {
  std::cerr << prefixedLines(message);
  return kFailure;
}

void reportWarnings(const std::vector<std::string>& warnings) {
  for (const std::string& warning : warnings) std::cerr << prefixedLines("warning: " + warning);
}

// From the config file, or with --jar from the config made from the jar.
Expected<BuildSummary> buildFromConfigOrJar(const BuildRequest& request, const std::optional<QuickPack>& quick) {
  if (!quick) return buildExecutable(request);
  auto quickPlan = loadQuickPack(*quick);
  if (!quickPlan) return quickPlan.error();
  reportWarnings(quickPlan->warnings);
  return buildExecutable(std::move(quickPlan->plan), request);
}

// A signing request whose tool was found.
struct Signing {
  SigningRequest request;
  std::filesystem::path tool;
};

// Built and signed beside the output, then renamed over it: a signing failure
// leaves no unsigned executable where a signed one was asked for.
Expected<BuildSummary> buildAndSign(BuildRequest request, const std::optional<QuickPack>& quick,
                                    const Signing& signing) {
  const std::filesystem::path output = request.output;
  request.output += ".unsigned-" + std::to_string(currentProcessId());
  auto summary = buildFromConfigOrJar(request, quick);
  if (!summary) return summary;
  std::error_code error;
  if (auto signedOutput = signExecutable(request.output, signing.request, signing.tool); !signedOutput) {
    std::filesystem::remove(request.output, error);
    return signedOutput.error();
  }
  summary->outputSize = std::filesystem::file_size(request.output, error);
  std::filesystem::rename(request.output, output, error);
  if (error) {
    std::filesystem::remove(request.output, error);
    return failure("cannot write " + quotedPath(output) + ": " + error.message());
  }
  return summary;
}

int runBuild(const BuildRequest& request, const std::optional<QuickPack>& quick,
             const std::optional<Signing>& signing) {
  auto summary = signing ? buildAndSign(request, quick, *signing) : buildFromConfigOrJar(request, quick);
  if (!summary) return reportFailure(summary.error().message);
  std::cout << "runvo-pack: wrote " << quotedPath(request.output) << " (" << summary->outputSize
            << " bytes, " << summary->fileCount << " embedded file" << (summary->fileCount == 1 ? "" : "s");
  if (summary->embedsRuntimeJar) std::cout << " including " << kRuntimeJarName;
  if (summary->replacedPayloadSize > 0) {
    std::cout << "; replaced a payload of " << summary->replacedPayloadSize << " bytes";
  }
  std::cout << ")" << (signing ? ", signed" : "") << "\n";
  return 0;
}

int runSign(const std::filesystem::path& executablePath, const Signing& signing) {
  auto bytes = readWholeFile(executablePath);
  if (!bytes) return reportFailure(bytes.error().message);
  const std::string name = quotedPath(executablePath);
  if (auto signable = checkSignable(*bytes); !signable) return reportFailure(name + " " + signable.error().message);
  if (auto signedFile = signExecutable(executablePath, signing.request, signing.tool); !signedFile) {
    return reportFailure(signedFile.error().message);
  }
  std::cout << "runvo-pack: signed " << name << "\n";
  return 0;
}

// From the environment, or the first line of standard input when asked to read it.
std::optional<std::string> signingPassword(bool fromStandardInput) {
  if (const char* password = std::getenv(std::string(kSigningPasswordVariable).c_str())) return password;
  if (!fromStandardInput) return std::nullopt;
  std::string line;
  std::getline(std::cin, line);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

// The options build --sign and sign share.
struct SigningOptions {
  std::string certificate, key, timestampUrl;
  bool passwordFromStandardInput = false;

  void addTo(CLI::App* command, CLI::Option* certificateOption) {
    command->add_option("--key", key, "The PEM private key, when the certificate is a PEM file")
        ->needs(certificateOption);
    command->add_option("--timestamp", timestampUrl, "An RFC 3161 timestamp server's URL")->needs(certificateOption);
    command->add_flag("--password-stdin", passwordFromStandardInput,
                      "Read the password from the first line of standard input (else from " +
                          std::string(kSigningPasswordVariable) + ", if set)")
        ->needs(certificateOption);
  }

  // The request for `executable` once its tool is found; the password is
  // read only then, so that nothing waits for standard input in vain.
  Expected<Signing> prepare(const std::filesystem::path& executable, SigningStep step) const {
    SigningRequest signing{pathFromUtf8(certificate)};
    if (!key.empty()) signing.privateKey = pathFromUtf8(key);
    if (!timestampUrl.empty()) signing.timestampUrl = timestampUrl;
    auto tool = findSigningTool(executable, signing, step);
    if (!tool) return tool.error();
    signing.password = signingPassword(passwordFromStandardInput);
    return Signing{std::move(signing), std::move(*tool)};
  }
};

// The options build --jar and init share for the config's [app] fields.
struct AppOptions {
  std::string mainClass;
  std::vector<std::string> arguments;
  CLI::Option* mainClassOption = nullptr;

  // `jarOption`: the option the two need, where the jar is an option.
  void addTo(CLI::App* command, CLI::Option* jarOption) {
    mainClassOption = command->add_option(
        "--main-class", mainClass,
        "The class whose main method runs the service (default: the Main-Class of the jar's manifest)");
    // One word per --arg, taken as it is even when it starts with '-'.
    CLI::Option* argOption =
        command->add_option("--arg", arguments, "A word the main method receives; repeat it for each word, in order")
            ->expected(1)
            ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    if (jarOption) {
      mainClassOption->needs(jarOption);
      argOption->needs(jarOption);
    }
  }

  void applyTo(QuickPack& quick) const {
    if (mainClassOption->count() > 0) quick.mainClass = mainClass;
    quick.arguments = arguments;
  }
};

int runInit(const QuickPack& quick, const std::filesystem::path& configPath) {
  auto written = writeQuickConfig(quick, configPath);
  if (!written) return reportFailure(written.error().message);
  reportWarnings(written->warnings);
  std::cout << "runvo-pack: wrote " << quotedPath(configPath) << "; ";
  if (!written->namesMainClass) {
    std::cout << escapedForMessage(displayPath(quick.jar))
              << " has no Main-Class in its manifest: set app.main_class in it, then ";
  }
  std::cout << "build it with: runvo-pack build " << escapedForMessage(displayPath(configPath)) << " -o OUT.exe\n";
  return 0;
}

int runInspect(const std::filesystem::path& executablePath) {
  auto bytes = readWholeFile(executablePath);
  if (!bytes) return reportFailure(bytes.error().message);
  auto inspection = inspectExecutable(*bytes);
  if (!inspection) {
    return reportFailure(quotedPath(executablePath) + " " + inspection.error().message);
  }
  std::cout << inspection->listing;
  return inspection->damaged ? kFailure : 0;
}

// The smoke test lives in a script beside the jvm.dll bridge (bridge/runvo-smoke),
// which parses its own arguments.
int runSmoke(const std::vector<std::string>& arguments) {
#ifdef _WIN32
  (void)arguments;
  return reportFailure("smoke runs an executable under Wine: use runvo-pack for Linux");
#else
  auto self = runningExecutablePath();
  if (!self) return reportFailure(self.error().message);
  const std::string script = (self->parent_path() / "bridge" / "runvo-smoke").string();
  std::vector<char*> argv{const_cast<char*>(script.c_str())};
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  execv(script.c_str(), argv.data());
  return reportFailure("cannot run " + script + ": " + std::strerror(errno));
#endif
}

int runPack(int argc, const char* const* argv) {
  CLI::App app{"Builds runvo service executables and lists their payloads.", "runvo-pack"};
  app.set_version_flag("--version", kVersion);
  app.require_subcommand(1);
  app.failure_message([](const CLI::App*, const CLI::Error& error) {
    return prefixedLines(std::string(error.what()) + "\nrun with --help for more information");
  });

  std::string config, output, stub, runtimeJar, inspected, jar, library, serviceName, initOutput;
  bool replace = false;
  CLI::App* build = app.add_subcommand("build", "Build a service executable from a TOML config, or from a jar");
  CLI::Option* configOption = build->add_option("CONFIG", config, "The TOML config");
  CLI::Option* jarOption =
      build->add_option("--jar", jar, "Pack this jar without a config: its manifest names the main class (unless "
                                      "--main-class does) and in its Class-Path the jars to embed with it");
  configOption->excludes(jarOption);
  build->add_option("--lib", library, "With --jar: a folder whose *.jar files are embedded too")->needs(jarOption);
  build->add_option("--name", serviceName, "With --jar: the service name")->needs(jarOption);
  AppOptions buildApp;
  buildApp.addTo(build, jarOption);
  build->add_option("-o,--output", output, "The executable to write")->required();
  build->add_option("--stub", stub, "The launcher stub (default: runvo.exe beside runvo-pack)");
  build->add_option("--runtime-jar", runtimeJar,
                    "The runtime jar to embed (default: runvo-runtime.jar beside runvo-pack)");
  build->add_flag("--replace", replace, "Replace a payload (or signature) the stub already carries");
  SigningOptions buildSigning;
  buildSigning.addTo(build, build->add_option("--sign", buildSigning.certificate,
                                              "Sign the result with this PKCS#12 file (or PEM certificate, with --key)"));
  build->parse_complete_callback([&] {
    if (config.empty() && jar.empty()) throw CLI::ValidationError("build needs a CONFIG, or --jar JAR --name NAME");
    if (!jar.empty() && serviceName.empty()) throw CLI::ValidationError("--jar needs --name NAME, the service name");
  });
  CLI::App* init = app.add_subcommand("init", "Write a commented config for a jar, ready to edit");
  init->add_option("JAR", jar, "The application jar")->required();
  init->add_option("--lib", library, "A folder whose *.jar files are embedded too");
  init->add_option("--name", serviceName, "The service name (default: the jar's name without .jar)");
  AppOptions initApp;
  initApp.addTo(init, nullptr);
  init->add_option("-o,--output", initOutput, "The config to write (default: " + std::string(kQuickConfigName) + ")");
  CLI::App* inspect = app.add_subcommand("inspect", "List the payload of an executable");
  inspect->add_option("EXE", inspected, "The executable to list")->required();
  CLI::App* sign = app.add_subcommand("sign", "Sign a packed executable (Authenticode, with osslsigncode)");
  std::string signedExecutable;
  sign->add_option("EXE", signedExecutable, "The packed executable, signed in place")->required();
  SigningOptions signSigning;
  signSigning.addTo(sign, sign->add_option("--cert", signSigning.certificate,
                                           "A PKCS#12 file (or PEM certificate, with --key)")->required());
  CLI::App* smoke = app.add_subcommand(
      "smoke", "Run a packed executable as a service under Wine with this machine's JVM (smoke EXE --help)");
  // Everything after "smoke", --help included, is the script's.
  smoke->prefix_command();
  smoke->set_help_flag();

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    return app.exit(error) == 0 ? 0 : kUsageError;
  }

  std::optional<QuickPack> quick;
  if (!jar.empty()) {
    quick = QuickPack{pathFromUtf8(jar), std::nullopt, serviceName};
    if (!library.empty()) quick->libraryFolder = pathFromUtf8(library);
    if (quick->serviceName.empty()) quick->serviceName = displayPath(quick->jar.stem());
    (build->parsed() ? buildApp : initApp).applyTo(*quick);
  }
  if (build->parsed()) {
    BuildRequest request{pathFromUtf8(config), pathFromUtf8(output), std::nullopt, replace};
    if (!stub.empty()) request.stub = pathFromUtf8(stub);
    if (!runtimeJar.empty()) request.runtimeJar = pathFromUtf8(runtimeJar);
    std::optional<Signing> signing;
    if (!buildSigning.certificate.empty()) {
      auto prepared = buildSigning.prepare(request.output, SigningStep::AfterBuilding);
      if (!prepared) return reportFailure(prepared.error().message);
      signing = std::move(*prepared);
    }
    return runBuild(request, quick, signing);
  }
  if (init->parsed()) return runInit(*quick, pathFromUtf8(initOutput.empty() ? kQuickConfigName : initOutput));
  if (smoke->parsed()) return runSmoke(smoke->remaining());
  if (sign->parsed()) {
    const std::filesystem::path executable = pathFromUtf8(signedExecutable);
    auto prepared = signSigning.prepare(executable, SigningStep::Alone);
    if (!prepared) return reportFailure(prepared.error().message);
    return runSign(executable, *prepared);
  }
  return runInspect(pathFromUtf8(inspected));
}

}  // namespace

#ifdef _WIN32

// Arguments arrive as UTF-16 and travel on as UTF-8, so that paths outside
// the ANSI code page survive; the console is switched to UTF-8 to match.
int wmain(int argc, wchar_t** argv) {
  SetConsoleOutputCP(CP_UTF8);
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(size > 0 ? size - 1 : 0, '\0');
    if (size > 1) WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, utf8.data(), size, nullptr, nullptr);
    arguments.push_back(std::move(utf8));
  }
  std::vector<const char*> pointers;
  for (const std::string& argument : arguments) pointers.push_back(argument.c_str());
  return runPack(argc, pointers.data());
}

#else

int main(int argc, char** argv) { return runPack(argc, argv); }

#endif
