package com.runvo.maven;

import static org.junit.Assert.assertEquals;
import static org.junit.Assert.assertTrue;

import java.io.StringReader;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import java.util.Set;
import java.util.TreeSet;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import org.codehaus.plexus.configuration.PlexusConfiguration;
import org.codehaus.plexus.configuration.xml.XmlPlexusConfiguration;
import org.codehaus.plexus.util.xml.Xpp3DomBuilder;
import org.junit.Assume;
import org.junit.Test;

public class ConfigMappingTest {
  static final Path PROJECT = Path.of("/work/project");

  static PlexusConfiguration xml(String text) {
    try {
      return new XmlPlexusConfiguration(Xpp3DomBuilder.build(new StringReader(text)));
    } catch (Exception e) {
      throw new IllegalArgumentException(text, e);
    }
  }

  private static String sectionText(String section, String xml) {
    return new ConfigMapping(PROJECT).section(section, xml(xml), Map.of()).toml().text;
  }

  @Test
  public void elementsBecomeTheFieldsOfTheirKind() {
    String[][] cases = {
        // section, element XML, the TOML written
        {"service", "<service><name>Hello</name></service>", "[service]\nname = \"Hello\"\n"},
        {"service", "<service><displayName>Hello Service</displayName></service>",
            "[service]\ndisplay_name = \"Hello Service\"\n"},
        {"service", "<service><interactive>true</interactive></service>", "[service]\ninteractive = true\n"},
        // Not a boolean: left to runvo-pack to refuse, as a string.
        {"service", "<service><interactive>yes</interactive></service>", "[service]\ninteractive = \"yes\"\n"},
        {"service", "<service><startWatchSeconds>3</startWatchSeconds></service>",
            "[service]\nstart_watch_seconds = 3\n"},
        {"service", "<service><startWatchSeconds>3s</startWatchSeconds></service>",
            "[service]\nstart_watch_seconds = \"3s\"\n"},
        // A number where the field is text stays text.
        {"jvm", "<jvm><minVersion>17</minVersion></jvm>", "[jvm]\nmin_version = \"17\"\n"},
        {"app", "<app><arguments><argument>--port</argument><argument>8080</argument></arguments></app>",
            "[app]\narguments = [\"--port\", \"8080\"]\n"},
        {"service", "<service><cpuAffinity><cpu>0</cpu><cpu>2</cpu></cpuAffinity></service>",
            "[service]\ncpu_affinity = [0, 2]\n"},
        {"app", "<app><classpath><entry><dir>conf</dir><required>false</required></entry><entry>A1x.jar</entry>"
            + "</classpath></app>", "[app]\nclasspath = [{ dir = \"conf\", required = false }, \"A1x.jar\"]\n"},
        {"jvm", "<jvm><search><entry>env:JAVA_HOME</entry><entry><dir>jre</dir></entry></search></jvm>",
            "[jvm]\nsearch = [\"env:JAVA_HOME\", { dir = \"jre\" }]\n"},
        // Nothing a value holds can end the string or the line.
        {"messages", "<messages><caption>a \"b\" \\c</caption></messages>",
            "[messages]\ncaption = \"a \\\"b\\\" \\\\c\"\n"},
        {"messages", "<messages><caption>one&#10;two&#9;three</caption></messages>",
            "[messages]\ncaption = \"one\\ntwo\\tthree\"\n"},
        {"service", "<service/>", ""},
        // Files of the build machine are the project's, not the generated config's neighbours.
        {"identity", "<identity><icon>src/app.ico</icon></identity>",
            "[identity]\nicon = \"/work/project/src/app.ico\"\n"},
        {"jvm", "<jvm><bundle>/opt/jre</bundle></jvm>", "[jvm]\nbundle = \"/opt/jre\"\n"},
    };
    List<String> failures = new ArrayList<>();
    for (String[] c : cases) {
      String written = sectionText(c[0], c[1]);
      if (!written.equals(c[2])) failures.add(c[1] + "\n  wrote    " + written + "\n  expected " + c[2]);
    }
    assertTrue(String.join("\n", failures), failures.isEmpty());
  }

  @Test
  public void aDefaultFillsOnlyAnAbsentFieldAndSaysWhereItCameFrom() {
    Map<String, ConfigMapping.Default> defaults =
        Map.of("main_class", new ConfigMapping.Default("org.example.Main", "the Main-Class of app.jar"));
    ConfigMapping.Toml absent = new ConfigMapping(PROJECT).section("app", null, defaults).toml();
    assertEquals("[app]\nmain_class = \"org.example.Main\"\n", absent.text);
    assertEquals("<app><mainClass> (the Main-Class of app.jar)", absent.originOfLine(2));

    ConfigMapping.Toml given =
        new ConfigMapping(PROJECT).section("app", xml("<app><mainClass>org.example.Other</mainClass></app>"), defaults).toml();
    assertEquals("[app]\nmain_class = \"org.example.Other\"\n", given.text);
    assertEquals("<app><mainClass>", given.originOfLine(2));
  }

  @Test
  public void everyLineKnowsItsElementOrFile() {
    ConfigMapping.Toml toml = new ConfigMapping(PROJECT)
        .section("service", xml("<service><name>S</name></service>"), Map.of())
        .section("jvm", xml("<jvm><options><option>-Xmx1g</option></options></jvm>"), Map.of())
        .file(Path.of("/deps/a.jar"), "a.jar", "the dependency g:a:jar:1")
        .toml();
    String[] expected = {"<service>", "<service><name>", "<jvm>", "<jvm><options>", "the dependency g:a:jar:1",
        "the dependency g:a:jar:1", "the dependency g:a:jar:1"};
    for (int line = 1; line <= expected.length; line++) assertEquals(expected[line - 1], toml.originOfLine(line));
    assertEquals(null, toml.originOfLine(expected.length + 1));
    assertEquals(Map.of("service.name", "<service><name>", "jvm.options", "<jvm><options>"), toml.elementsOfFields());
    assertTrue(toml.text.endsWith("[[files]]\nsource = \"/deps/a.jar\"\nname = \"a.jar\"\n"));
  }

  @Test
  public void namesConvertBothWays() {
    String[][] pairs = {{"mainClass", "main_class"}, {"jOptions", "j_options"}, {"name", "name"},
        {"restartDelayMaxSeconds", "restart_delay_max_seconds"}};
    for (String[] pair : pairs) {
      assertEquals(pair[1], ConfigMapping.snakeCase(pair[0]));
      assertEquals(pair[0], ConfigMapping.camelCase(pair[1]));
    }
  }

  /**
   * The kinds are runvo-pack's; a field added to its catalogue as a boolean or
   * a number must reach this table too, or the plugin would write it as text.
   */
  @Test
  public void kindsMatchTheBuildersCatalogue() throws Exception {
    String source = System.getProperty("runvo.source");
    Path catalogue = source == null ? null : Path.of(source, "pack", "config", "key_catalogue.cpp");
    Assume.assumeTrue("built outside the runvo tree", catalogue != null && Files.isRegularFile(catalogue));
    String text = Files.readString(catalogue).replaceAll("\\s+", " ");
    Pattern entry = Pattern.compile("\\.table = \"([a-z_]+)\", \\.field = \"([a-z_]+)\"[^}]*?\\.kind = K::([A-Za-z]+)");
    Set<String> flags = new TreeSet<>(), integers = new TreeSet<>(), integerLists = new TreeSet<>();
    for (Matcher m = entry.matcher(text); m.find(); ) {
      String name = m.group(1) + "." + m.group(2);
      if (m.group(3).equals("Flag")) flags.add(name);
      if (m.group(3).equals("Integer")) integers.add(name);
      if (m.group(3).equals("Processors")) integerLists.add(name);
    }
    Set<String> pluginFlags = new TreeSet<>(ConfigMapping.FLAGS);
    // A switch of the builder itself, not a key of the catalogue.
    pluginFlags.remove("launcher.runtime_jar");
    assertEquals(flags, pluginFlags);
    assertEquals(integers, new TreeSet<>(ConfigMapping.INTEGERS));
    assertEquals(integerLists, new TreeSet<>(ConfigMapping.INTEGER_LISTS));
  }
}
