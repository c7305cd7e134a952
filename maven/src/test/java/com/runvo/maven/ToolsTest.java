package com.runvo.maven;

import static org.junit.Assert.assertEquals;
import static org.junit.Assert.assertNotEquals;
import static org.junit.Assert.assertTrue;
import static org.junit.Assert.fail;

import java.io.IOException;
import java.io.OutputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Map;
import java.util.stream.Stream;
import java.util.zip.ZipEntry;
import java.util.zip.ZipOutputStream;
import org.junit.Rule;
import org.junit.Test;
import org.junit.rules.TemporaryFolder;

public class ToolsTest {
  @Rule public TemporaryFolder temporary = new TemporaryFolder();

  private Path jar(String name, Map<String, String> entries) throws IOException {
    Path jar = temporary.getRoot().toPath().resolve(name);
    try (OutputStream file = Files.newOutputStream(jar); ZipOutputStream zip = new ZipOutputStream(file)) {
      for (Map.Entry<String, String> entry : entries.entrySet()) {
        zip.putNextEntry(new ZipEntry(entry.getKey()));
        zip.write(entry.getValue().getBytes(StandardCharsets.UTF_8));
        zip.closeEntry();
      }
    }
    return jar;
  }

  @Test
  public void unpacksOnceAndAgainOnlyForOtherContents() throws Exception {
    Path version = temporary.getRoot().toPath().resolve("repo/com/runvo/runvo-maven-plugin/1.0-SNAPSHOT");
    Path first = Tools.unpacked(jar("a.jar", Map.of(Tools.ROOT + "runvo-pack", "#!/bin/sh\n",
        Tools.ROOT + "bridge/runvo-smoke", "x", "com/runvo/maven/Other.class", "c")), version);
    assertEquals("#!/bin/sh\n", Files.readString(first.resolve("runvo-pack")));
    assertTrue(Files.isExecutable(first.resolve("runvo-pack")));
    assertTrue(Files.isExecutable(first.resolve("bridge/runvo-smoke")));
    assertTrue("only the tools are unpacked", Files.notExists(first.resolve("Other.class")));

    // A file changed in place inside the unpacked folder shows that it is not unpacked again.
    Files.writeString(first.resolve("runvo-pack"), "kept");
    Path again = Tools.unpacked(jar("b.jar", Map.of(Tools.ROOT + "runvo-pack", "#!/bin/sh\n",
        Tools.ROOT + "bridge/runvo-smoke", "x")), version);
    assertEquals(first, again);
    assertEquals("kept", Files.readString(again.resolve("runvo-pack")));

    Path rebuilt = Tools.unpacked(jar("c.jar", Map.of(Tools.ROOT + "runvo-pack", "#!/bin/sh\n# 2\n",
        Tools.ROOT + "bridge/runvo-smoke", "x")), version);
    assertNotEquals(first, rebuilt);
    assertEquals("#!/bin/sh\n# 2\n", Files.readString(rebuilt.resolve("runvo-pack")));
    try (Stream<Path> left = Files.list(version)) {
      assertEquals("no partial folder is left", 2, left.count());
    }
  }

  @Test
  public void refusesAJarWithoutToolsOrWithAnEntryOutsideItsFolder() throws Exception {
    Path version = temporary.getRoot().toPath().resolve("v");
    Map<String, Map<String, String>> cases = Map.of(
        "carries no runvo-pack", Map.of("com/runvo/maven/Other.class", "c"),
        "leaves its folder", Map.of(Tools.ROOT + "../../escaped", "x"));
    for (Map.Entry<String, Map<String, String>> c : cases.entrySet()) {
      try {
        Tools.unpacked(jar("bad.jar", c.getValue()), version);
        fail("accepted a jar whose entries " + c.getValue().keySet());
      } catch (Tools.ToolsException e) {
        assertTrue(e.getMessage(), e.getMessage().contains(c.getKey()));
      }
    }
    assertTrue(Files.notExists(temporary.getRoot().toPath().resolve("escaped")));
    assertTrue(Files.notExists(version.resolve("escaped")));
  }

  @Test
  public void namesTheBuilderOfTheMachineOrRefusesIt() throws Exception {
    assertEquals("runvo-pack", Tools.builderName("Linux", "amd64"));
    assertEquals("runvo-pack.exe", Tools.builderName("Windows Server 2022", "amd64"));
    for (String[] other : new String[][] {{"Linux", "aarch64"}, {"Mac OS X", "x86_64"}, {"Windows 11", "aarch64"}}) {
      try {
        Tools.builderName(other[0], other[1]);
        fail(other[0] + " " + other[1]);
      } catch (Tools.ToolsException e) {
        assertTrue(e.getMessage(), e.getMessage().contains(other[0] + " " + other[1]));
      }
    }
  }

  /** The plugin is useless without what it ships; a build without the dist folder must not pass. */
  @Test
  public void thePluginCarriesTheTools() {
    Path classes = Path.of("target/classes", Tools.ROOT);
    for (String tool : new String[] {"runvo-pack", "runvo-pack.exe", "runvo.exe", "runvo-runtime.jar",
        "bridge/runvo-smoke"}) {
      assertTrue(tool + " is missing: build build/dist first (scripts/build)", Files.isRegularFile(classes.resolve(tool)));
    }
  }
}
