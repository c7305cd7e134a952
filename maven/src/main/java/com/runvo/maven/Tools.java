package com.runvo.maven;

import java.io.IOException;
import java.io.InputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.DirectoryNotEmptyException;
import java.nio.file.FileAlreadyExistsException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import java.security.MessageDigest;
import java.security.NoSuchAlgorithmException;
import java.util.ArrayList;
import java.util.Comparator;
import java.util.Enumeration;
import java.util.List;
import java.util.stream.Stream;
import java.util.zip.ZipEntry;
import java.util.zip.ZipFile;

/**
 * runvo-pack, the launcher stub, the runtime jar and the smoke test's bridge
 * travel inside the plugin jar and run from a folder beside the plugin in the
 * local repository, unpacked by the first build that needs them. The folder's
 * name holds a stamp of the entries (names, sizes, CRCs from the jar's
 * directory, so no entry is read to make it): a rebuilt snapshot of the same
 * version gets a folder of its own instead of running stale tools.
 */
final class Tools {
  static final String ROOT = "com/runvo/maven/tools/";

  private Tools() {}

  /** The builder's file name for this machine; other machines have none. */
  static String builderName(String osName, String osArch) throws ToolsException {
    boolean x64 = osArch.equals("amd64") || osArch.equals("x86_64");
    if (x64 && osName.equals("Linux")) return "runvo-pack";
    if (x64 && osName.startsWith("Windows")) return "runvo-pack.exe";
    throw new ToolsException("runvo-pack runs on Linux x86-64 and Windows x86-64 only; this build runs on "
        + osName + " " + osArch);
  }

  /** The folder that holds the tools of {@code pluginJar}, unpacked under {@code versionFolder} if not yet. */
  static Path unpacked(Path pluginJar, Path versionFolder) throws ToolsException {
    try (ZipFile jar = new ZipFile(pluginJar.toFile())) {
      List<ZipEntry> entries = toolEntries(jar);
      if (entries.isEmpty()) throw new ToolsException(pluginJar + " carries no runvo-pack (no " + ROOT + ")");
      Path folder = versionFolder.resolve("tools-" + stamp(entries));
      if (Files.isDirectory(folder)) return folder;
      Files.createDirectories(versionFolder);
      // Unpacked aside and renamed in one step, so that a build running at the
      // same time never sees half a folder.
      Path partial = Files.createTempDirectory(versionFolder, ".tools-");
      try {
        for (ZipEntry entry : entries) extract(jar, entry, partial);
        Files.move(partial, folder, StandardCopyOption.ATOMIC_MOVE);
      } catch (FileAlreadyExistsException | DirectoryNotEmptyException anotherBuildWasFirst) {
        // Its folder is complete; ours is not needed.
      } finally {
        deleteTree(partial);
      }
      return folder;
    } catch (IOException e) {
      throw new ToolsException("cannot unpack runvo-pack from " + pluginJar + " into " + versionFolder + ": " + e);
    }
  }

  private static List<ZipEntry> toolEntries(ZipFile jar) {
    List<ZipEntry> entries = new ArrayList<>();
    for (Enumeration<? extends ZipEntry> all = jar.entries(); all.hasMoreElements(); ) {
      ZipEntry entry = all.nextElement();
      if (entry.getName().startsWith(ROOT) && !entry.isDirectory()) entries.add(entry);
    }
    entries.sort(Comparator.comparing(ZipEntry::getName));
    return entries;
  }

  private static String stamp(List<ZipEntry> entries) throws IOException {
    try {
      MessageDigest digest = MessageDigest.getInstance("SHA-256");
      for (ZipEntry entry : entries) {
        String line = entry.getName() + " " + entry.getSize() + " " + entry.getCrc() + "\n";
        digest.update(line.getBytes(StandardCharsets.UTF_8));
      }
      StringBuilder hex = new StringBuilder();
      for (byte b : digest.digest()) hex.append(String.format("%02x", b));
      return hex.substring(0, 16);
    } catch (NoSuchAlgorithmException e) {
      throw new IOException(e);
    }
  }

  private static void extract(ZipFile jar, ZipEntry entry, Path folder) throws IOException {
    Path target = folder.resolve(entry.getName().substring(ROOT.length())).normalize();
    if (!target.startsWith(folder)) throw new IOException("entry " + entry.getName() + " leaves its folder");
    Files.createDirectories(target.getParent());
    try (InputStream in = jar.getInputStream(entry)) {
      Files.copy(in, target);
    }
    // A jar keeps no file modes; the builder and the bridge's scripts must run.
    target.toFile().setExecutable(true);
  }

  /** Removes a folder this class made; a link inside it is removed, not followed. */
  private static void deleteTree(Path folder) throws IOException {
    if (!Files.exists(folder)) return;
    try (Stream<Path> paths = Files.walk(folder)) {
      for (Path path : (Iterable<Path>) paths.sorted(Comparator.reverseOrder())::iterator) Files.delete(path);
    }
  }

  static final class ToolsException extends Exception {
    ToolsException(String message) {
      super(message);
    }
  }
}
