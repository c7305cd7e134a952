package com.runvo.maven;

import java.io.File;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.HashMap;
import java.util.HashSet;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.Set;
import java.util.jar.JarFile;
import java.util.jar.Manifest;
import org.apache.maven.artifact.Artifact;
import org.apache.maven.plugin.MojoExecutionException;
import org.apache.maven.plugin.MojoFailureException;
import org.apache.maven.plugins.annotations.Component;
import org.apache.maven.plugins.annotations.LifecyclePhase;
import org.apache.maven.plugins.annotations.Mojo;
import org.apache.maven.plugins.annotations.Parameter;
import org.apache.maven.plugins.annotations.ResolutionScope;
import org.apache.maven.project.MavenProject;
import org.apache.maven.project.MavenProjectHelper;
import org.apache.maven.settings.Server;
import org.apache.maven.settings.building.SettingsProblem;
import org.apache.maven.settings.crypto.DefaultSettingsDecryptionRequest;
import org.apache.maven.settings.crypto.SettingsDecrypter;
import org.apache.maven.settings.crypto.SettingsDecryptionResult;
import org.codehaus.plexus.configuration.PlexusConfiguration;

/**
 * Packs the project's jar and its runtime dependencies into a Windows service
 * executable, {@code ${project.build.directory}/<service name>.exe}, with runvo-pack.
 */
@Mojo(name = "pack", defaultPhase = LifecyclePhase.PACKAGE, threadSafe = true,
    requiresDependencyResolution = ResolutionScope.RUNTIME)
public class PackMojo extends ToolsMojo {
  /** Where the smoke goal finds what this goal wrote. */
  static final String EXECUTABLE_KEY = "runvo.executable";
  private static final String PASSWORD_VARIABLE = "RUNVO_SIGN_PASSWORD";

  @Parameter(defaultValue = "${project}", readonly = true)
  private MavenProject project;

  @Component
  private MavenProjectHelper projectHelper;

  @Component
  private SettingsDecrypter settingsDecrypter;

  /** The application jar; default: the project's main artifact. */
  @Parameter
  private File jar;

  /** An existing runvo.toml to build instead of the elements below; it names its files itself. */
  @Parameter
  private File config;

  /** The executable to write; default: {@code ${project.build.directory}/<service name>.exe}. */
  @Parameter
  private File executable;

  @Parameter private PlexusConfiguration service;
  @Parameter private PlexusConfiguration app;
  @Parameter private PlexusConfiguration output;
  @Parameter private PlexusConfiguration jvm;
  @Parameter private PlexusConfiguration launcher;
  @Parameter private PlexusConfiguration messages;
  @Parameter private PlexusConfiguration identity;

  /** Authenticode signing (with osslsigncode, on Linux build agents). */
  @Parameter
  private Signing signing;

  /** Attach the executable to the project (classifier windows, type exe), so install and deploy carry it. */
  @Parameter(defaultValue = "true")
  private boolean attach;

  @Parameter(property = "runvo.skip", defaultValue = "false")
  private boolean skip;

  /** The signing element: a PKCS#12 file (or a PEM certificate with its key), and where its password is. */
  public static class Signing {
    File certificate;
    File key;
    String timestampUrl;
    /** The environment variable that holds the password. */
    String passwordEnvironment;
    /** The id of a server in Maven's settings whose password is the certificate's. */
    String passwordServer;
  }

  @Override
  public void execute() throws MojoExecutionException, MojoFailureException {
    if (skip) {
      getLog().info("runvo: skipped");
      return;
    }
    Path exe = executablePath();
    List<String> command = new ArrayList<>(List.of(builder().toString(), "build"));
    ConfigMapping.Toml toml = null;
    Path configPath;
    if (config != null) {
      configPath = config.toPath();
    } else {
      toml = mappedConfig();
      configPath = Path.of(project.getBuild().getDirectory(), "runvo", "runvo.toml");
      write(configPath, toml.text);
    }
    command.add(configPath.toString());
    command.addAll(List.of("-o", exe.toString()));
    Map<String, String> environment = new LinkedHashMap<>();
    if (signing != null) addSigning(command, environment);
    getLog().info("runvo: packing " + exe.getFileName());
    BuilderRun run = BuilderRun.run(command, environment);
    List<String> lines = toml == null ? List.of(run.output.split("\n"))
        : BuilderMessages.inPluginTerms(run.output, configPath.toString(), toml);
    if (run.exitCode != 0) {
      throw new MojoFailureException("runvo-pack could not build " + exe.getFileName() + ":\n"
          + String.join("\n", lines));
    }
    for (String line : lines) {
      if (line.startsWith("warning: ")) getLog().warn(line); else if (!line.isEmpty()) getLog().info(line);
    }
    project.setContextValue(EXECUTABLE_KEY, exe.toFile());
    if (attach) projectHelper.attachArtifact(project, "exe", "windows", exe.toFile());
  }

  private Path executablePath() {
    if (executable != null) return executable.toPath();
    String serviceName = childValue(service, "name");
    return Path.of(project.getBuild().getDirectory(),
        (serviceName != null && !serviceName.isBlank() ? serviceName : project.getArtifactId()) + ".exe");
  }

  private ConfigMapping.Toml mappedConfig() throws MojoExecutionException, MojoFailureException {
    Path application = applicationJar();
    ConfigMapping mapping = new ConfigMapping(project.getBasedir().toPath());
    Map<String, PlexusConfiguration> sections = new HashMap<>();
    sections.put("service", service);
    sections.put("app", app);
    sections.put("output", output);
    sections.put("jvm", jvm);
    sections.put("launcher", launcher);
    sections.put("messages", messages);
    sections.put("identity", identity);
    for (String name : ConfigMapping.SECTIONS) mapping.section(name, sections.get(name), defaults(name, application));
    mapping.file(application, application.getFileName().toString(),
        jar != null ? "<jar> " + application : "the project's jar " + application);
    Set<String> names = new HashSet<>(Set.of(application.getFileName().toString().toLowerCase()));
    for (Artifact dependency : project.getArtifacts()) {
      if (dependency.getFile() == null || !dependency.getArtifactHandler().isAddedToClasspath()) continue;
      String name = dependency.getFile().getName();
      // Two dependencies may share a file name (a.b:util and c.d:util); both must land.
      if (!names.add(name.toLowerCase())) name = dependency.getGroupId() + "-" + name;
      mapping.file(dependency.getFile().toPath(), name, "the dependency " + dependency.getId());
    }
    return mapping.toml();
  }

  private Map<String, ConfigMapping.Default> defaults(String section, Path application)
      throws MojoExecutionException {
    Map<String, ConfigMapping.Default> defaults = new LinkedHashMap<>();
    if (section.equals("app")) {
      String mainClass = mainClassOf(application);
      if (mainClass != null) {
        defaults.put("main_class", new ConfigMapping.Default(mainClass, "the Main-Class of " + application.getFileName()));
      }
    }
    if (section.equals("identity")) {
      String version = VersionNumbers.fourNumbers(project.getVersion());
      if (version != null) {
        defaults.put("version", new ConfigMapping.Default(version, "the project's version " + project.getVersion()));
      }
    }
    return defaults;
  }

  private Path applicationJar() throws MojoFailureException {
    File file = jar != null ? jar : project.getArtifact().getFile();
    if (file == null || !file.isFile()) {
      throw new MojoFailureException(jar != null ? "<jar> " + jar + " is no file"
          : "the project has no jar to pack yet: run the pack goal in the package phase or later, or name one in <jar>");
    }
    return file.toPath().toAbsolutePath();
  }

  private static String mainClassOf(Path application) throws MojoExecutionException {
    try (JarFile file = new JarFile(application.toFile())) {
      Manifest manifest = file.getManifest();
      return manifest == null ? null : manifest.getMainAttributes().getValue("Main-Class");
    } catch (IOException e) {
      throw new MojoExecutionException("cannot read the manifest of " + application + ": " + e.getMessage(), e);
    }
  }

  private void addSigning(List<String> command, Map<String, String> environment) throws MojoFailureException {
    if (signing.certificate == null) throw new MojoFailureException("<signing> needs <certificate>");
    command.addAll(List.of("--sign", signing.certificate.getPath()));
    if (signing.key != null) command.addAll(List.of("--key", signing.key.getPath()));
    if (signing.timestampUrl != null) command.addAll(List.of("--timestamp", signing.timestampUrl));
    String password = signingPassword();
    if (password != null) environment.put(PASSWORD_VARIABLE, password);
  }

  private String signingPassword() throws MojoFailureException {
    if (signing.passwordEnvironment != null) {
      String password = System.getenv(signing.passwordEnvironment);
      if (password == null) {
        throw new MojoFailureException("<signing><passwordEnvironment>: the environment variable "
            + signing.passwordEnvironment + " is not set");
      }
      return password;
    }
    if (signing.passwordServer == null) return null;
    Server server = session.getSettings().getServer(signing.passwordServer);
    if (server == null) {
      throw new MojoFailureException("<signing><passwordServer>: Maven's settings have no server "
          + signing.passwordServer);
    }
    SettingsDecryptionResult decrypted = settingsDecrypter.decrypt(new DefaultSettingsDecryptionRequest(server));
    for (SettingsProblem problem : decrypted.getProblems()) {
      throw new MojoFailureException("<signing><passwordServer>: " + problem.getMessage());
    }
    return decrypted.getServer().getPassword();
  }

  private static String childValue(PlexusConfiguration section, String name) {
    if (section == null || section.getChild(name, false) == null) return null;
    return section.getChild(name, false).getValue(null);
  }

  private static void write(Path path, String text) throws MojoExecutionException {
    try {
      Files.createDirectories(path.getParent());
      Files.writeString(path, text, StandardCharsets.UTF_8);
    } catch (IOException e) {
      throw new MojoExecutionException("cannot write " + path + ": " + e.getMessage(), e);
    }
  }
}
