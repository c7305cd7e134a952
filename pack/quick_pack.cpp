#include "pack/quick_pack.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

#include "pack/file_io.h"
#include "pack/jar_manifest.h"

namespace runvo::pack {

namespace fs = std::filesystem;

namespace {

// The launcher puts only these on the class path from the extraction directory.
constexpr std::string_view kArchiveExtensions[] = {".jar", ".zip"};

struct EmbeddedJar {
  fs::path source;
  std::string comment;  // why it is embedded, for the config; empty for the application jar
};

char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string asciiFolded(std::string_view text) {
  std::string folded(text);
  std::ranges::transform(folded, folded.begin(), asciiLower);
  return folded;
}

bool hasExtension(std::string_view name, std::string_view extension) {
  return name.size() > extension.size() && asciiFolded(name.substr(name.size() - extension.size())) == extension;
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

// A source as the config writes it: relative to the config's directory,
// with forward slashes; absolute when no relative path leads there (another
// drive).
std::string sourceText(const fs::path& source, const fs::path& configDirectory) {
  std::error_code error;
  const fs::path absoluteSource = fs::absolute(source, error).lexically_normal();
  fs::path base = fs::absolute(configDirectory.empty() ? fs::path(".") : configDirectory, error).lexically_normal();
  if (!base.has_filename()) base = base.parent_path();
  const fs::path relative = absoluteSource.lexically_relative(base);
  const std::u8string text = (relative.empty() ? absoluteSource : relative).generic_u8string();
  return std::string(text.begin(), text.end());
}

std::optional<std::string> percentDecoded(std::string_view url) {
  auto hexValue = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    c = asciiLower(c);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
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

// "file:/x.jar", "http://...", "C:/x.jar", "/x.jar": nothing that lies beside the jar.
bool isAbsoluteUrl(std::string_view url) {
  const std::size_t colon = url.find(':');
  return url.starts_with('/') || url.starts_with('\\') || (colon != std::string_view::npos && colon < url.find('/'));
}

// The file a Class-Path entry names, which must exist beside the jar.
Expected<fs::path> classPathFile(const fs::path& jar, std::string_view url) {
  const std::string entry = displayPath(jar) + "'s Class-Path entry \"" + std::string(url) + "\"";
  // init reads the same manifest, so the way out is outside the Class-Path.
  const std::string wayOut = "; leave it out of the Class-Path and name it in a config's app.classpath";
  if (isAbsoluteUrl(url)) return failure(entry + " is no relative URL, so it names nothing beside the jar" + wayOut);
  if (url.ends_with('/')) return failure(entry + " names a folder, and only files are embedded" + wayOut);
  const std::optional<std::string> decoded = percentDecoded(url);
  if (!decoded) return failure(entry + " has a '%' that is not followed by two hex digits");
  if (std::ranges::none_of(kArchiveExtensions, [&](std::string_view ext) { return hasExtension(*decoded, ext); })) {
    return failure(
        entry + " is no .jar or .zip file, and only those join the class path from the extraction directory" + wayOut);
  }
  const fs::path file = jar.parent_path() / pathFromUtf8(*decoded);
  std::error_code error;
  if (!fs::is_regular_file(file, error)) {
    return failure(entry + " names a file that is missing: there is no file \"" + displayPath(file) + "\"");
  }
  return file;
}

Expected<std::vector<fs::path>> libraryJars(const fs::path& folder) {
  const std::string shown = "--lib \"" + displayPath(folder) + "\"";
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

// The application jar, then what its Class-Path names, then the library
// folder's jars. A file reached twice (a library folder that holds the jar)
// is embedded once; two files of one name cannot both land at the top.
Expected<std::vector<EmbeddedJar>> embeddedJars(const QuickPack& quick, const JarManifest& manifest) {
  std::vector<EmbeddedJar> candidates{{quick.jar, ""}};
  const std::string jarName = commentText(displayPath(quick.jar.filename()));
  for (const std::string& url : manifest.classPath) {
    auto file = classPathFile(quick.jar, url);
    if (!file) return file.error();
    candidates.push_back({*file, "named by the Class-Path of " + jarName + "'s manifest"});
  }
  if (quick.libraryFolder) {
    auto jars = libraryJars(*quick.libraryFolder);
    if (!jars) return jars.error();
    for (const fs::path& jar : *jars) {
      candidates.push_back({jar, "from the library folder " + commentText(displayPath(*quick.libraryFolder))});
    }
  }

  std::vector<EmbeddedJar> embedded;
  std::set<fs::path> seen;
  std::map<std::string, fs::path> byName;
  for (EmbeddedJar& candidate : candidates) {
    std::error_code error;
    const fs::path identity = fs::weakly_canonical(candidate.source, error);
    if (!seen.insert(error ? candidate.source : identity).second) continue;
    const std::string name = displayPath(candidate.source.filename());
    if (auto [clash, fresh] = byName.emplace(asciiFolded(name), candidate.source); !fresh) {
      return failure("\"" + displayPath(clash->second) + "\" and \"" + displayPath(candidate.source) +
                     "\" would both be embedded as " + name +
                     "; rename one of the files, or write a config whose [[files]] give one of them another name");
    }
    embedded.push_back(std::move(candidate));
  }
  return embedded;
}

std::string outputNameFor(const std::string& serviceName) {
  const std::string output = serviceName + ".exe";
  return output.find(' ') == std::string::npos ? output : "\"" + output + "\"";
}

std::string mainClassLines(const std::string& jarName, const std::string& mainClass) {
  if (mainClass.empty()) {
    return "# " + jarName +
           "'s manifest has no Main-Class: name the class whose main method runs\n"
           "# the service here.\n"
           "# main_class = 'com.example.Main'\n";
  }
  return "# The Main-Class of " + jarName + "'s manifest.\nmain_class = " + tomlString(mainClass) + "\n";
}

std::string renderedConfig(const QuickPack& quick, const std::string& mainClass, const std::vector<EmbeddedJar>& jars,
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
                     "\n"
                     "[app]\n" +
                     mainClassLines(jarName, mainClass) +
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
    text += "\nsource = " + tomlString(sourceText(jar.source, configPath.parent_path())) + "\n\n";
  }
  text.pop_back();
  return text;
}

struct QuickContent {
  JarManifest manifest;
  std::vector<EmbeddedJar> jars;
};

Expected<QuickContent> quickContent(const QuickPack& quick) {
  auto bytes = readWholeFile(quick.jar);
  if (!bytes) return bytes.error();
  auto manifest = readJarManifest(*bytes);
  if (!manifest) return failure(displayPath(quick.jar) + " is not a readable jar: " + manifest.error().message);
  auto jars = embeddedJars(quick, *manifest);
  if (!jars) return jars.error();
  return QuickContent{std::move(*manifest), std::move(*jars)};
}

}  // namespace

Expected<QuickConfig> quickConfig(const QuickPack& quick, const fs::path& configPath) {
  auto content = quickContent(quick);
  if (!content) return content.error();
  const std::string& mainClass = content->manifest.mainClass;
  return QuickConfig{renderedConfig(quick, mainClass, content->jars, configPath), !mainClass.empty()};
}

Expected<PackPlan> loadQuickPack(const QuickPack& quick) {
  const fs::path configPath(kQuickConfigName);
  auto config = quickConfig(quick, configPath);
  if (!config) return config.error();
  if (!config->namesMainClass) {
    const std::string jarName = displayPath(quick.jar);
    return failure(jarName + " has no Main-Class in " + std::string(kManifestName) +
                   "; set one with `jar --update --file " + jarName +
                   " --main-class CLASS`, or write a config with runvo-pack init and name the class there");
  }
  return loadPackConfigText(config->text, "the config made from " + displayPath(quick.jar), configPath.parent_path());
}

Expected<QuickConfig> writeQuickConfig(const QuickPack& quick, const fs::path& configPath) {
  std::error_code error;
  if (fs::exists(fs::symlink_status(configPath, error))) {
    return failure("\"" + displayPath(configPath) +
                   "\" exists already, and init does not replace it; remove it, or name another file with -o");
  }
  auto config = quickConfig(quick, configPath);
  if (!config) return config.error();
  if (auto written = writeFileAtomically(configPath, Bytes(config->text.begin(), config->text.end())); !written) {
    return written.error();
  }
  return config;
}

}  // namespace runvo::pack
