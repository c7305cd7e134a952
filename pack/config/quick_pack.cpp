#include "pack/config/quick_pack.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <variant>

#include "pack/config/field_forms.h"
#include "pack/common/file_io.h"
#include "pack/jar/jar_manifest.h"
#include "pack/common/text_encoding.h"
#include "pack/config/word_quoting.h"
#include "util/text.h"

namespace runvo::pack {

namespace fs = std::filesystem;

namespace {

// The launcher puts only these on the class path from the extraction directory.
constexpr std::string_view kArchiveExtensions[] = {".jar", ".zip"};

struct EmbeddedJar {
  fs::path source;
  std::string comment;  // why it is embedded, for the config; empty for the application jar
  // Named absolute by the manifest, and so in the config: a path that climbs
  // out of the config's folder to /usr/share/java reads worse.
  bool absolute = false;
};

// A Class-Path entry that java would run without, and so is left out; the
// reason is said as a warning.
struct LeftOut {
  std::string reason;
};

bool hasExtension(std::string_view name, std::string_view extension) {
  return name.size() > extension.size() &&
         equalsIgnoringAsciiCase(name.substr(name.size() - extension.size()), extension);
}

bool isArchive(std::string_view name) {
  return std::ranges::any_of(kArchiveExtensions, [&](std::string_view ext) { return hasExtension(name, ext); });
}

// A path or name inside a TOML comment: a line break there would end the
// comment and let the rest be read as config.
std::string commentText(std::string_view text) {
  std::string safe(text);
  std::ranges::replace_if(
      safe, [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }, '?');
  return safe;
}

// A TOML string: literal (single quotes, where backslashes stay as they are)
// when it can be, else basic with escapes.
std::string tomlString(std::string_view text) {
  auto needsEscape = [](char c) { return c == '\'' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F; };
  if (std::ranges::none_of(text, needsEscape)) return "'" + std::string(text) + "'";
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += c;
    } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(static_cast<unsigned char>(c)));
      quoted += escape;
    } else {
      quoted += c;
    }
  }
  return quoted + "\"";
}

// A source as the config writes it, with forward slashes: relative to the
// config's directory, unless the manifest named it absolute or no relative
// path leads there (another drive).
std::string sourceText(const EmbeddedJar& jar, const fs::path& configDirectory) {
  std::error_code error;
  const fs::path absoluteSource = fs::absolute(jar.source, error).lexically_normal();
  fs::path base = fs::absolute(configDirectory.empty() ? fs::path(".") : configDirectory, error).lexically_normal();
  if (!base.has_filename()) base = base.parent_path();
  const fs::path relative = jar.absolute ? fs::path() : absoluteSource.lexically_relative(base);
  const std::u8string text = (relative.empty() ? absoluteSource : relative).generic_u8string();
  return std::string(text.begin(), text.end());
}

std::optional<std::string> percentDecoded(std::string_view url) {
  auto hexValue = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    c = asciiUpper(c);
    return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
  };
  std::string decoded;
  for (std::size_t i = 0; i < url.size(); ++i) {
    if (url[i] != '%') {
      decoded += url[i];
      continue;
    }
    if (url.size() - i < 3 || hexValue(url[i + 1]) < 0 || hexValue(url[i + 2]) < 0) return std::nullopt;
    decoded += static_cast<char>(hexValue(url[i + 1]) * 16 + hexValue(url[i + 2]));
    i += 2;
  }
  return decoded;
}

// The path part of a Class-Path URL that names a local file: relative
// ("lib/x.jar", "file:x.jar"), absolute ("/usr/share/java/x.jar"), or a file
// URL ("file:/usr/share/java/x.jar", "file:///C:/lib/x.jar"). Nothing for
// another scheme ("http:", or a drive "C:" read as one) or another host,
// which java skips for a jar that is a local file.
std::optional<std::string_view> localPath(std::string_view url) {
  constexpr std::string_view kFileScheme = "file:";
  if (url.size() >= kFileScheme.size() && equalsIgnoringAsciiCase(url.substr(0, kFileScheme.size()), kFileScheme)) {
    std::string_view path = url.substr(kFileScheme.size());
    if (!path.starts_with("//")) return path;
    const std::size_t pathStart = std::min(path.find('/', 2), path.size());
    const std::string_view host = path.substr(2, pathStart - 2);
    if (!host.empty() && !equalsIgnoringAsciiCase(host, "localhost")) return std::nullopt;
    return path.substr(pathStart);
  }
  const std::size_t colon = url.find(':');
  if (colon != std::string_view::npos && colon < url.find('/')) return std::nullopt;
  return url;
}

// The file of a decoded URL path, resolved against the jar's folder as java
// resolves it against the jar's URL.
fs::path entryFile(const fs::path& jar, std::string_view path) {
  if (!path.starts_with('/')) return jar.parent_path() / pathFromUtf8(path);
  // "/C:/lib/x.jar": on Windows a drive follows the URL's root.
  const fs::path afterRoot = pathFromUtf8(path.substr(1));
  return afterRoot.has_root_name() ? afterRoot : pathFromUtf8(path);
}

// What becomes of one Class-Path entry: embedded; left out, as java runs
// without it (it names no local file, or nothing that exists); or refused,
// when it exists in a form the extraction directory cannot put on the
// class path.
Expected<std::variant<EmbeddedJar, LeftOut>> classPathJar(const fs::path& jar, std::string_view url) {
  const std::string entry = displayPath(jar) + "'s Class-Path entry " + quotedForMessage(url);
  const LeftOut noLocalFile{entry + " is left out: it names no local file, and java -jar skips it too"};
  const std::optional<std::string_view> path = localPath(url);
  if (!path) return noLocalFile;
  const std::optional<std::string> decoded = percentDecoded(*path);
  if (!decoded) return failure(entry + " has a '%' that is not followed by two hex digits");
  // "%00": no file name holds a NUL, and the file system would read the name only up to it.
  if (decoded->find('\0') != std::string::npos) return noLocalFile;
  const fs::path file = entryFile(jar, *decoded);
  std::error_code error;
  const fs::file_status status = fs::status(file, error);
  if (!fs::exists(status)) {
    return LeftOut{entry + " is left out: there is no " + quotedPath(file) + ", and java -jar runs without it too"};
  }
  // init reads the same manifest, so the way out is outside the Class-Path.
  const std::string wayOut = "; leave it out of the Class-Path and name it in a config's app.classpath";
  if (url.ends_with('/') || fs::is_directory(status)) {
    return failure(entry + " names a folder, and only files are embedded" + wayOut);
  }
  if (!isArchive(*decoded)) {
    return failure(
        entry + " is no .jar or .zip file, and only those join the class path from the extraction directory" + wayOut);
  }
  return EmbeddedJar{file, "named by the Class-Path of " + commentText(displayPath(jar.filename())) + "'s manifest",
                     decoded->starts_with('/')};
}

Expected<std::vector<fs::path>> libraryJars(const fs::path& folder) {
  const std::string shown = "--lib " + quotedPath(folder);
  std::error_code error;
  if (!fs::is_directory(folder, error)) return failure(shown + " is not a folder");
  std::vector<fs::path> jars;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    std::error_code typeError;
    if (it->is_regular_file(typeError) && hasExtension(displayPath(it->path().filename()), ".jar")) {
      jars.push_back(it->path());
    }
  }
  if (error) return failure("cannot list " + shown + ": " + error.message());
  // The directory's order differs between file systems; the executable must not.
  std::ranges::sort(jars, {}, [](const fs::path& jar) { return displayPath(jar.filename()); });
  return jars;
}

struct EmbeddedJars {
  std::vector<EmbeddedJar> jars;
  std::vector<std::string> leftOut;  // each Class-Path entry left out, and why
};

// The application jar, then what its Class-Path names, then the library
// folder's jars. Only the application jar's manifest is read: what the
// named jars' own manifests name comes in through the library folder.
Expected<EmbeddedJars> candidateJars(const QuickPack& quick, const JarManifest& manifest) {
  EmbeddedJars candidates;
  candidates.jars.push_back({quick.jar, ""});
  for (const std::string& url : manifest.classPath) {
    auto resolved = classPathJar(quick.jar, url);
    if (!resolved) return resolved.error();
    if (auto* jar = std::get_if<EmbeddedJar>(&*resolved)) {
      candidates.jars.push_back(std::move(*jar));
    } else {
      candidates.leftOut.push_back(std::move(std::get<LeftOut>(*resolved).reason));
    }
  }
  if (quick.libraryFolder) {
    auto jars = libraryJars(*quick.libraryFolder);
    if (!jars) return jars.error();
    for (const fs::path& jar : *jars) {
      candidates.jars.push_back({jar, "from the library folder " + commentText(displayPath(*quick.libraryFolder))});
    }
  }
  return candidates;
}

std::string foldedName(std::string_view name) {
  std::string folded(name);
  std::ranges::transform(folded, folded.begin(), asciiUpper);
  return folded;
}

// A file reached twice (a library folder that holds the jar) is embedded
// once; two files of one name cannot both land at the top.
Expected<EmbeddedJars> embeddedJars(const QuickPack& quick, const JarManifest& manifest) {
  auto candidates = candidateJars(quick, manifest);
  if (!candidates) return candidates.error();
  EmbeddedJars embedded{{}, std::move(candidates->leftOut)};
  std::set<fs::path> seen;
  std::map<std::string, fs::path> byName;
  for (EmbeddedJar& candidate : candidates->jars) {
    std::error_code error;
    const fs::path identity = fs::weakly_canonical(candidate.source, error);
    if (!seen.insert(error ? candidate.source : identity).second) continue;
    if (auto control = firstControlCharacter(displayPath(candidate.source))) {
      return failure(quotedPath(candidate.source) + " holds the control character " + describeCharacter(*control) +
                     ", which no config field takes; rename it");
    }
    const std::string name = displayPath(candidate.source.filename());
    if (auto [clash, fresh] = byName.emplace(foldedName(name), candidate.source); !fresh) {
      return failure(quotedPath(clash->second) + " and " + quotedPath(candidate.source) +
                     " would both be embedded as " + name +
                     "; rename one of the files, or write a config whose [[files]] give one of them another name");
    }
    embedded.jars.push_back(std::move(candidate));
  }
  return embedded;
}

std::string outputNameFor(const std::string& serviceName) {
  const std::string output = serviceName + ".exe";
  return output.find(' ') == std::string::npos ? output : "\"" + output + "\"";
}

// The config's [app] fields, and where the main class comes from.
struct AppFields {
  std::optional<std::string> givenMainClass;  // --main-class
  std::string manifestMainClass;              // empty when the manifest names none
  std::vector<std::string> arguments;

  // Empty when neither names one.
  std::string mainClass() const { return givenMainClass.value_or(manifestMainClass); }
};

std::string mainClassLines(const std::string& jarName, const AppFields& app) {
  const std::string mainClass = app.mainClass();
  if (mainClass.empty()) {
    return "# " + jarName +
           "'s manifest has no Main-Class: name the class whose main method runs\n"
           "# the service here.\n"
           "# main_class = 'com.example.Main'\n";
  }
  std::string origin = "# The Main-Class of " + jarName + "'s manifest.\n";
  if (app.givenMainClass) {
    origin = "# Named with --main-class; " + (app.manifestMainClass.empty()
                                                  ? jarName + "'s manifest has no Main-Class.\n"
                                                  : "the Main-Class of " + jarName + "'s manifest is\n# " +
                                                        commentText(app.manifestMainClass) + ".\n");
  }
  return origin + "main_class = " + tomlString(mainClass) + "\n";
}

std::string argumentLines(const std::vector<std::string>& arguments) {
  if (arguments.empty()) {
    return "# The words its main method receives, if any:\n"
           "# arguments = ['--port', '8080']\n";
  }
  std::string list;
  for (const std::string& word : arguments) list += (list.empty() ? "" : ", ") + tomlString(word);
  return "# The words its main method receives, given with --arg.\narguments = [" + list + "]\n";
}

std::string renderedConfig(const QuickPack& quick, const AppFields& app, const std::vector<EmbeddedJar>& jars,
                           const fs::path& configPath) {
  const std::string jarName = commentText(displayPath(quick.jar.filename()));
  const std::string service = commentText(quick.serviceName);
  std::string text = "# The Windows service \"" + service + "\", packed from " + jarName +
                     ". Written by runvo-pack init,\n"
                     "# ready to edit; runvo-pack's README (pack/README.md) describes every field.\n"
                     "# Build it with\n"
                     "#   runvo-pack build " +
                     commentText(displayPath(configPath.filename())) + " -o " +
                     commentText(outputNameFor(quick.serviceName)) +
                     "\n"
                     "\n"
                     "[service]\n"
                     "name = " +
                     tomlString(quick.serviceName) +
                     "\n"
                     "# Registered without SERVICE_INTERACTIVE_PROCESS: that flag has had no effect\n"
                     "# since Windows Vista, and security scanners flag services that set it.\n"
                     "interactive = false\n"
                     "# After a crash or a non-zero exit the service runs the application again,\n"
                     "# first after 2 seconds, then after ever longer delays (pack/README.md\n"
                     "# describes restart and its limits in [service]).\n"
                     "restart = 'on-failure'\n"
                     "\n"
                     "[app]\n" +
                     mainClassLines(jarName, app) + argumentLines(app.arguments) +
                     "\n"
                     "# Which Java runs the service: left out, the launcher tries JAVA_HOME, then\n"
                     "# the Java installations in the registry, then the java.exe on PATH. To ship\n"
                     "# a Java runtime inside the executable (a jlink image, for example):\n"
                     "# [jvm]\n"
                     "# bundle = 'runtime'\n"
                     "\n"
                     "# The jars land at the top of the extraction directory, where the launcher\n"
                     "# puts every .jar on the class path by itself: no app.classpath needed.\n";
  for (const EmbeddedJar& jar : jars) {
    text += "[[files]]";
    if (!jar.comment.empty()) text += "  # " + jar.comment;
    text += "\nsource = " + tomlString(sourceText(jar, configPath.parent_path())) + "\n\n";
  }
  text.pop_back();
  return text;
}

// A value the launcher reads from the narrow table, which holds Windows-1252,
// and which the config loader refuses with a control character in it, as
// in every field.
Status checkNarrow(std::string_view option, const std::string& value) {
  const std::string shown = std::string(option) + " " + quotedForMessage(value);
  if (auto control = firstControlCharacter(value)) {
    return failure(shown + " holds the control character " + describeCharacter(*control) +
                   ", which no config field takes");
  }
  auto narrow = utf8ToWindows1252(value);
  if (!narrow) return failure(shown + ": " + narrow.error().message);
  return Done{};
}

// Checked before a config is made from them, so that init never writes a
// config whose build would refuse what the command line gave.
Status checkOptions(const QuickPack& quick) {
  if (auto name = checkNarrow("--name", quick.serviceName); !name) return name;
  if (quick.mainClass) {
    if (auto name = checkClassName(*quick.mainClass); !name) return failure("--main-class " + name.error().message);
    if (auto narrow = checkNarrow("--main-class", *quick.mainClass); !narrow) return narrow;
  }
  for (const std::string& word : quick.arguments) {
    if (auto narrow = checkNarrow("--arg", word); !narrow) return narrow;
  }
  if (auto joined = joinWordsForSplitter(quick.arguments); !joined) return failure("--arg: " + joined.error().message);
  return Done{};
}

struct QuickContent {
  AppFields app;
  EmbeddedJars jars;
};

Expected<QuickContent> quickContent(const QuickPack& quick) {
  if (auto options = checkOptions(quick); !options) return options.error();
  auto bytes = readWholeFile(quick.jar);
  if (!bytes) return bytes.error();
  auto manifest = readJarManifest(*bytes);
  if (!manifest) return failure(displayPath(quick.jar) + " is not a readable jar: " + manifest.error().message);
  auto jars = embeddedJars(quick, *manifest);
  if (!jars) return jars.error();
  return QuickContent{{quick.mainClass, std::move(manifest->mainClass), quick.arguments}, std::move(*jars)};
}

}  // namespace

Expected<QuickConfig> quickConfig(const QuickPack& quick, const fs::path& configPath) {
  auto content = quickContent(quick);
  if (!content) return content.error();
  return QuickConfig{renderedConfig(quick, content->app, content->jars.jars, configPath),
                     !content->app.mainClass().empty(), std::move(content->jars.leftOut)};
}

Expected<QuickPlan> loadQuickPack(const QuickPack& quick) {
  const fs::path configPath(kQuickConfigName);
  auto config = quickConfig(quick, configPath);
  if (!config) return config.error();
  if (!config->namesMainClass) {
    return failure(displayPath(quick.jar) + " has no Main-Class in " + std::string(kManifestName) +
                   "; name the class whose main method runs the service with --main-class CLASS");
  }
  auto plan =
      loadPackConfigText(config->text, "the config made from " + displayPath(quick.jar), configPath.parent_path());
  if (!plan) return plan.error();
  return QuickPlan{std::move(*plan), std::move(config->warnings)};
}

Expected<QuickConfig> writeQuickConfig(const QuickPack& quick, const fs::path& configPath) {
  std::error_code error;
  if (fs::exists(fs::symlink_status(configPath, error))) {
    return failure(quotedPath(configPath) +
                   " exists already, and init does not replace it; remove it, or name another file with -o");
  }
  auto config = quickConfig(quick, configPath);
  if (!config) return config.error();
  if (auto written = writeFileAtomically(configPath, Bytes(config->text.begin(), config->text.end())); !written) {
    return written.error();
  }
  return config;
}

}  // namespace runvo::pack
