package com.runvo.maven;

import java.io.File;
import java.io.IOException;
import java.io.InputStream;
import java.nio.charset.StandardCharsets;
import java.util.List;
import java.util.Map;
import org.apache.maven.plugin.MojoExecutionException;

/** One run of runvo-pack: its exit code and what it wrote, both streams together in order. */
final class BuilderRun {
  final int exitCode;
  final String output;

  private BuilderRun(int exitCode, String output) {
    this.exitCode = exitCode;
    this.output = output;
  }

  static BuilderRun run(List<String> command, Map<String, String> environment) throws MojoExecutionException {
    ProcessBuilder builder = new ProcessBuilder(command).redirectErrorStream(true);
    builder.environment().putAll(environment);
    // Nothing is asked of it; standard input stays closed so nothing waits on the build's console.
    builder.redirectInput(ProcessBuilder.Redirect.from(nullInput()));
    try {
      Process process = builder.start();
      String output;
      try (InputStream in = process.getInputStream()) {
        output = new String(in.readAllBytes(), StandardCharsets.UTF_8);
      }
      return new BuilderRun(process.waitFor(), output);
    } catch (IOException e) {
      throw new MojoExecutionException("cannot run " + command.get(0) + ": " + e.getMessage(), e);
    } catch (InterruptedException e) {
      Thread.currentThread().interrupt();
      throw new MojoExecutionException("interrupted while runvo-pack ran", e);
    }
  }

  private static File nullInput() {
    return new File(System.getProperty("os.name").startsWith("Windows") ? "NUL" : "/dev/null");
  }
}
