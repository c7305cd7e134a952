package com.runvo.maven;

import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import java.util.regex.Matcher;
import java.util.regex.Pattern;

/**
 * Puts runvo-pack's messages into the plugin's terms. runvo-pack names the
 * config file it was given, the line and the TOML field ({@code runvo.toml:7:
 * jvm.min_version: ...}); the user wrote neither the file nor the field but an
 * element of the pom, so the place becomes that element and field names become
 * element names.
 */
final class BuilderMessages {
  private static final String PREFIX = "runvo-pack: ";
  private static final Pattern FIELD =
      Pattern.compile("(?<![\\w.])(?:" + String.join("|", ConfigMapping.SECTIONS) + ")\\.[a-z0-9_]+(?![\\w])");
  private static final Pattern TABLE = Pattern.compile("\\[(" + String.join("|", ConfigMapping.SECTIONS) + ")\\]");
  private static final Pattern KNOWN_LIST = Pattern.compile("\\(known: ([a-z0-9_, ]+)\\)");
  private static final Pattern UNKNOWN_FIELD = Pattern.compile("unknown field \"([a-z0-9_]+)\"");
  // Fields a config must set, named by runvo-pack even when the pom has no element for them.
  private static final Map<String, String> REQUIRED = Map.of(
      "service.name", ConfigMapping.elementName("service", "name"),
      "app.main_class", ConfigMapping.elementName("app", "mainClass"));

  private BuilderMessages() {}

  /** runvo-pack's output, line by line, in the plugin's terms. */
  static List<String> inPluginTerms(String output, String configName, ConfigMapping.Toml toml) {
    Pattern place = Pattern.compile("^" + Pattern.quote(configName) + ":([0-9]+):(?:[0-9]+:)? ?");
    List<String> lines = new ArrayList<>();
    for (String line : output.split("\n", -1)) {
      if (line.isEmpty()) continue;
      if (line.startsWith(PREFIX)) line = line.substring(PREFIX.length());
      lines.add(fieldsAsElements(placeAsElement(line, configName, place, toml), toml));
    }
    return lines;
  }

  private static String placeAsElement(String line, String configName, Pattern place, ConfigMapping.Toml toml) {
    Matcher at = place.matcher(line);
    if (!at.find()) {
      String unplaced = configName + ": ";
      return line.startsWith(unplaced) ? "the configuration: " + line.substring(unplaced.length()) : line;
    }
    String origin = toml.originOfLine(Integer.parseInt(at.group(1)));
    String rest = line.substring(at.end());
    if (origin == null) return "the configuration: " + rest;
    // "jvm.min_version: ..." at the line of <jvm><minVersion> needs the name once.
    for (Map.Entry<String, String> field : toml.elementsOfFields().entrySet()) {
      if (!origin.equals(field.getValue()) && !origin.startsWith(field.getValue() + " (")) continue;
      for (String named : List.of(field.getKey() + ": ", field.getKey() + " ")) {
        if (rest.startsWith(named)) rest = rest.substring(named.length());
      }
    }
    return origin + ": " + rest;
  }

  private static String fieldsAsElements(String line, ConfigMapping.Toml toml) {
    // Whole names only: service.restart must not eat into service.restart_limit.
    Matcher field = FIELD.matcher(line);
    StringBuilder named = new StringBuilder();
    while (field.find()) {
      String element = toml.elementsOfFields().getOrDefault(field.group(), REQUIRED.get(field.group()));
      field.appendReplacement(named, Matcher.quoteReplacement(element != null ? element : field.group()));
    }
    field.appendTail(named);
    line = TABLE.matcher(named.toString()).replaceAll("<$1>");
    Matcher unknown = UNKNOWN_FIELD.matcher(line);
    if (unknown.find()) {
      line = line.substring(0, unknown.start()) + "unknown element <" + ConfigMapping.camelCase(unknown.group(1)) + ">"
          + line.substring(unknown.end());
    }
    Matcher known = KNOWN_LIST.matcher(line);
    StringBuilder result = new StringBuilder();
    while (known.find()) {
      List<String> names = new ArrayList<>();
      for (String name : known.group(1).split(", ")) names.add("<" + ConfigMapping.camelCase(name) + ">");
      known.appendReplacement(result, Matcher.quoteReplacement("(known: " + String.join(", ", names) + ")"));
    }
    known.appendTail(result);
    return result.toString();
  }
}
