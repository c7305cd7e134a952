package com.runvo.maven;

import static org.junit.Assert.assertEquals;

import java.nio.file.Path;
import java.util.List;
import java.util.Map;
import org.junit.Test;

public class BuilderMessagesTest {
  private static final String CONFIG = "/p/target/runvo/runvo.toml";

  // Lines: 1 [service], 2 name, 3 restart, 4 restart_limit, 5 [app], 6 main_class (default), 7 [jvm],
  // 8 min_version, 9 min_verison, 10-12 the dependency.
  private static final ConfigMapping.Toml TOML = new ConfigMapping(ConfigMappingTest.PROJECT)
      .section("service", ConfigMappingTest.xml("<service><name>S</name><restart>always</restart>"
          + "<restartLimit>x</restartLimit></service>"), Map.of())
      .section("app", null, Map.of("main_class", new ConfigMapping.Default("x.Main", "the Main-Class of a.jar")))
      .section("jvm", ConfigMappingTest.xml("<jvm><minVersion>1x</minVersion><minVerison>9</minVerison></jvm>"),
          Map.of())
      .file(Path.of("/deps/b.jar"), "b.jar", "the dependency g:b:jar:1")
      .toml();

  @Test
  public void placesAndFieldsBecomeElements() {
    String[][] cases = {
        {"runvo-pack: " + CONFIG + ":8: jvm.min_version: \"1x\" is not a Java version (accepted: 1.8, 17)",
            "<jvm><minVersion>: \"1x\" is not a Java version (accepted: 1.8, 17)"},
        {"runvo-pack: " + CONFIG + ":9: unknown field \"min_verison\" in [jvm] (known: options, min_version, search)",
            "<jvm><minVerison>: unknown element <minVerison> in <jvm> (known: <options>, <minVersion>, <search>)"},
        {"runvo-pack: " + CONFIG + ":6: app.main_class: \"x..Main\" is no class name: an empty part",
            "<app><mainClass> (the Main-Class of a.jar): \"x..Main\" is no class name: an empty part"},
        {"runvo-pack: " + CONFIG + ":11: files[1]: \"/deps/b.jar\" is empty",
            "the dependency g:b:jar:1: files[1]: \"/deps/b.jar\" is empty"},
        {"runvo-pack: " + CONFIG + ":2:7: expected a string", "<service><name>: expected a string"},
        {"runvo-pack: " + CONFIG + ":8: jvm.min_version must be a string, not an integer",
            "<jvm><minVersion>: must be a string, not an integer"},
        // Text after the end, and a required field that the pom does not set.
        {"runvo-pack: " + CONFIG + ":40: something", "the configuration: something"},
        // A name that starts another is replaced whole, and a file name is no field.
        {"runvo-pack: " + CONFIG + ":4: service.restart_limit needs service.restart, not app.jar",
            "<service><restartLimit>: needs <service><restart>, not app.jar"},
        {"runvo-pack: " + CONFIG + ": missing table [service], which must set service.name",
            "the configuration: missing table <service>, which must set <service><name>"},
        {"runvo-pack: " + CONFIG + ":5: missing required field app.main_class",
            "<app>: missing required field <app><mainClass>"},
        {"runvo-pack: warning: a.jar's Class-Path entry \"lib/gone.jar\" is left out",
            "warning: a.jar's Class-Path entry \"lib/gone.jar\" is left out"},
    };
    for (String[] c : cases) {
      assertEquals(c[0], List.of(c[1]), BuilderMessages.inPluginTerms(c[0] + "\n", CONFIG, TOML));
    }
  }

  @Test
  public void everyLineIsKept() {
    String output = "runvo-pack: " + CONFIG + ":8: jvm.min_version: bad\nrunvo-pack: " + CONFIG + ":2: service.name: bad\n";
    assertEquals(List.of("<jvm><minVersion>: bad", "<service><name>: bad"),
        BuilderMessages.inPluginTerms(output, CONFIG, TOML));
  }
}
