package com.runvo.maven;

import java.nio.file.Path;
import java.util.ArrayList;
import java.util.HashSet;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.Set;
import org.codehaus.plexus.configuration.PlexusConfiguration;

/**
 * Writes the plugin's configuration as the config file runvo-pack reads. Every
 * section element is the config's table of the same name, and every element in
 * it the field of the same name in camel case ({@code <minVersion>} is
 * {@code min_version}), so the config file's documentation serves both. The
 * values are not checked here: runvo-pack checks them, and {@link BuilderMessages}
 * puts its messages back into the elements' names, which needs to know from
 * which element each line of the text came.
 */
final class ConfigMapping {
  /** The config's tables that the plugin configures, in the order they are written. */
  static final List<String> SECTIONS =
      List.of("service", "app", "output", "jvm", "launcher", "messages", "identity");

  /**
   * Fields whose TOML value is not a string; XML has only text, so the kind
   * decides whether "3" is written as 3 or "3". A value that does not fit its
   * kind is written as a string, so that runvo-pack refuses it with its own
   * words.
   */
  static final Set<String> FLAGS = Set.of(
      "service.log_roll_daily", "service.failure_on_error_exit", "service.delayed_start", "service.interactive",
      "app.process_comm_file", "app.j_options",
      "output.redirect_stderr", "output.redirect_stdout", "output.append", "output.roll_daily",
      "jvm.allow_prerelease", "jvm.require_jdk",
      "launcher.runtime_jar");
  static final Set<String> INTEGERS = Set.of(
      "service.log_roll_bytes", "service.log_kept_files", "service.log_kept_days", "service.start_watch_seconds",
      "service.stop_timeout_seconds", "service.preshutdown_seconds", "service.failure_reset_seconds",
      "service.restart_delay_seconds", "service.restart_delay_max_seconds", "service.restart_reset_seconds",
      "service.restart_limit", "service.ready_timeout_seconds", "service.alive_interval_seconds",
      "service.alive_failures", "service.hook_timeout_seconds", "app.type",
      "output.roll_bytes", "output.kept_files", "output.kept_days");
  static final Set<String> INTEGER_LISTS = Set.of("service.cpu_affinity");
  /**
   * Files read on the build machine. runvo-pack takes them from the config
   * file's folder, which here is the plugin's own under target/; the user
   * means the project's folder.
   */
  static final Set<String> BUILD_MACHINE_PATHS = Set.of("jvm.bundle", "identity.icon");
  /** The one flag inside a readable class-path entry ({ dir = "conf", required = false }). */
  private static final String ENTRY_FLAG = "required";

  /** The config text, and for each of its lines the element it came from. */
  static final class Toml {
    final String text;
    private final List<String> origins;
    private final Map<String, String> elementsOfFields;

    private Toml(String text, List<String> origins, Map<String, String> elementsOfFields) {
      this.text = text;
      this.origins = origins;
      this.elementsOfFields = elementsOfFields;
    }

    /** What line {@code line} (from 1) was written for, or null for none. */
    String originOfLine(int line) {
      return line >= 1 && line <= origins.size() ? origins.get(line - 1) : null;
    }

    /** Every field written ("jvm.min_version") with its element ("<jvm><minVersion>"). */
    Map<String, String> elementsOfFields() {
      return elementsOfFields;
    }
  }

  private final Path projectFolder;
  private final StringBuilder text = new StringBuilder();
  private final List<String> origins = new ArrayList<>();
  private final Map<String, String> elementsOfFields = new LinkedHashMap<>();

  ConfigMapping(Path projectFolder) {
    this.projectFolder = projectFolder;
  }

  /**
   * Writes one section: its elements, then each default whose field the
   * section does not set ({@code defaults} maps a field to its value and to
   * what the default came from).
   */
  ConfigMapping section(String name, PlexusConfiguration section, Map<String, Default> defaults) {
    List<String> lines = new ArrayList<>();
    List<String> lineOrigins = new ArrayList<>();
    Set<String> given = new HashSet<>();
    if (section != null) {
      for (PlexusConfiguration element : section.getChildren()) {
        String field = snakeCase(element.getName());
        String qualified = name + "." + field;
        String origin = elementName(name, element.getName());
        given.add(field);
        elementsOfFields.put(qualified, origin);
        lines.add(field + " = " + value(qualified, element));
        lineOrigins.add(origin);
      }
    }
    for (Map.Entry<String, Default> entry : defaults.entrySet()) {
      if (given.contains(entry.getKey())) continue;
      String origin = elementName(name, camelCase(entry.getKey()));
      elementsOfFields.put(name + "." + entry.getKey(), origin);
      lines.add(entry.getKey() + " = " + quoted(entry.getValue().value));
      lineOrigins.add(origin + " (" + entry.getValue().source + ")");
    }
    if (lines.isEmpty()) return this;
    line("[" + name + "]", "<" + name + ">");
    for (int i = 0; i < lines.size(); i++) line(lines.get(i), lineOrigins.get(i));
    return this;
  }

  /** One embedded file; {@code origin} says where it came from (the project's jar, a dependency). */
  ConfigMapping file(Path source, String storedName, String origin) {
    line("[[files]]", origin);
    line("source = " + quoted(source.toString()), origin);
    line("name = " + quoted(storedName), origin);
    return this;
  }

  Toml toml() {
    return new Toml(text.toString(), List.copyOf(origins), Map.copyOf(elementsOfFields));
  }

  /** A field's value that does not come from the configuration, and where it comes from. */
  static final class Default {
    final String value;
    final String source;

    Default(String value, String source) {
      this.value = value;
      this.source = source;
    }
  }

  static String elementName(String section, String element) {
    return "<" + section + "><" + element + ">";
  }

  static String snakeCase(String camel) {
    StringBuilder snake = new StringBuilder();
    for (char c : camel.toCharArray()) {
      if (Character.isUpperCase(c)) {
        snake.append('_').append(Character.toLowerCase(c));
      } else {
        snake.append(c);
      }
    }
    return snake.toString();
  }

  static String camelCase(String snake) {
    StringBuilder camel = new StringBuilder();
    boolean upper = false;
    for (char c : snake.toCharArray()) {
      if (c == '_') {
        upper = true;
      } else {
        camel.append(upper ? Character.toUpperCase(c) : c);
        upper = false;
      }
    }
    return camel.toString();
  }

  private void line(String line, String origin) {
    text.append(line).append('\n');
    origins.add(origin);
  }

  /** An element with children is an array, whatever the children are called. */
  private String value(String qualified, PlexusConfiguration element) {
    if (element.getChildCount() == 0) {
      String text = element.getValue(null);
      if (BUILD_MACHINE_PATHS.contains(qualified) && text != null && !text.isBlank()) {
        return quoted(projectFolder.resolve(text.trim()).toString());
      }
      return scalar(qualified, text);
    }
    List<String> items = new ArrayList<>();
    for (PlexusConfiguration item : element.getChildren()) {
      if (item.getChildCount() > 0) {
        items.add(inlineTable(item));
      } else {
        String text = item.getValue(null);
        items.add(INTEGER_LISTS.contains(qualified) && isInteger(text) ? text.trim() : quoted(text));
      }
    }
    return "[" + String.join(", ", items) + "]";
  }

  private static String inlineTable(PlexusConfiguration item) {
    List<String> pairs = new ArrayList<>();
    for (PlexusConfiguration part : item.getChildren()) {
      String text = part.getValue(null);
      String key = snakeCase(part.getName());
      pairs.add(key + " = " + (key.equals(ENTRY_FLAG) && isFlag(text) ? text.trim() : quoted(text)));
    }
    return "{ " + String.join(", ", pairs) + " }";
  }

  private static String scalar(String qualified, String text) {
    if (FLAGS.contains(qualified) && isFlag(text)) return text.trim();
    if (INTEGERS.contains(qualified) && isInteger(text)) return text.trim();
    return quoted(text);
  }

  private static boolean isFlag(String text) {
    return text != null && (text.trim().equals("true") || text.trim().equals("false"));
  }

  private static boolean isInteger(String text) {
    return text != null && text.trim().matches("-?[0-9]{1,18}");
  }

  /** A TOML basic string; control characters escaped, so no value can end the line or the string. */
  static String quoted(String text) {
    if (text == null) text = "";
    StringBuilder quoted = new StringBuilder("\"");
    for (char c : text.toCharArray()) {
      switch (c) {
        case '"': quoted.append("\\\""); break;
        case '\\': quoted.append("\\\\"); break;
        case '\n': quoted.append("\\n"); break;
        case '\t': quoted.append("\\t"); break;
        case '\r': quoted.append("\\r"); break;
        default:
          if (c < 0x20 || c == 0x7f) {
            quoted.append(String.format("\\u%04X", (int) c));
          } else {
            quoted.append(c);
          }
      }
    }
    return quoted.append('"').toString();
  }
}
