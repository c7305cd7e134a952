package com.runvo.maven;

import java.io.File;
import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import org.apache.maven.plugin.MojoExecutionException;
import org.apache.maven.plugin.MojoFailureException;
import org.apache.maven.plugins.annotations.LifecyclePhase;
import org.apache.maven.plugins.annotations.Mojo;
import org.apache.maven.plugins.annotations.Parameter;
import org.apache.maven.project.MavenProject;

/**
 * Runs the packed executable as a service under Wine with this machine's JVM
 * (runvo-pack smoke): installs, starts, watches, stops and uninstalls it. Where
 * Wine is missing it is skipped with a message, so one pom serves agents with
 * and without it.
 */
@Mojo(name = "smoke", defaultPhase = LifecyclePhase.VERIFY, threadSafe = true)
public class SmokeMojo extends ToolsMojo {
  @Parameter(defaultValue = "${project}", readonly = true)
  private MavenProject project;

  /** The executable to run; default: what the pack goal wrote. */
  @Parameter
  private File executable;

  /** How long the service must keep running. */
  @Parameter(property = "runvo.smoke.seconds", defaultValue = "5")
  private int seconds;

  /** The Wine prefix to use; default: runvo-pack's own (~/.cache/runvo/wineprefix). */
  @Parameter(property = "runvo.smoke.prefix")
  private File prefix;

  @Parameter(property = "runvo.smoke.skip", defaultValue = "false")
  private boolean skip;

  @Override
  public void execute() throws MojoExecutionException, MojoFailureException {
    if (skip) {
      getLog().info("runvo smoke: skipped");
      return;
    }
    if (!System.getProperty("os.name").equals("Linux") || !onPath("wine")) {
      getLog().info("runvo smoke: skipped: it runs the service under Wine, which this machine does not have");
      return;
    }
    File exe = executable != null ? executable : (File) project.getContextValue(PackMojo.EXECUTABLE_KEY);
    if (exe == null || !exe.isFile()) {
      throw new MojoFailureException("runvo smoke: no executable to run: run the pack goal first, or name one in <executable>");
    }
    List<String> command = new ArrayList<>(List.of(builder().toString(), "smoke", exe.getPath(),
        "--seconds", Integer.toString(seconds)));
    if (prefix != null) command.addAll(List.of("--prefix", prefix.getPath()));
    try {
      int exitCode = new ProcessBuilder(command).inheritIO().start().waitFor();
      if (exitCode != 0) throw new MojoFailureException("runvo smoke: " + exe.getName() + " failed its smoke test (see above)");
    } catch (IOException e) {
      throw new MojoExecutionException("cannot run " + command.get(0) + ": " + e.getMessage(), e);
    } catch (InterruptedException e) {
      Thread.currentThread().interrupt();
      throw new MojoExecutionException("interrupted during the smoke test", e);
    }
  }

  private static boolean onPath(String program) {
    String path = System.getenv("PATH");
    if (path == null) return false;
    for (String folder : path.split(File.pathSeparator)) {
      if (!folder.isEmpty() && Files.isExecutable(Path.of(folder, program))) return true;
    }
    return false;
  }
}
