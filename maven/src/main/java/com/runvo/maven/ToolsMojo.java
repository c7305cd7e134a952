package com.runvo.maven;

import java.nio.file.Path;
import org.apache.maven.artifact.Artifact;
import org.apache.maven.execution.MavenSession;
import org.apache.maven.plugin.AbstractMojo;
import org.apache.maven.plugin.MojoExecutionException;
import org.apache.maven.plugin.descriptor.PluginDescriptor;
import org.apache.maven.plugins.annotations.Parameter;

/** A goal that runs runvo-pack from the plugin's tools folder in the local repository. */
abstract class ToolsMojo extends AbstractMojo {
  @Parameter(defaultValue = "${session}", readonly = true)
  protected MavenSession session;

  @Parameter(defaultValue = "${plugin}", readonly = true)
  private PluginDescriptor plugin;

  /** runvo-pack for this machine, with the stub, the runtime jar and the bridge beside it. */
  protected Path builder() throws MojoExecutionException {
    try {
      String name = Tools.builderName(System.getProperty("os.name"), System.getProperty("os.arch"));
      Artifact self = plugin.getPluginArtifact();
      Path versionFolder = Path.of(session.getLocalRepository().getBasedir(),
          self.getGroupId().replace('.', '/'), self.getArtifactId(), self.getBaseVersion());
      return Tools.unpacked(self.getFile().toPath(), versionFolder).resolve(name);
    } catch (Tools.ToolsException e) {
      throw new MojoExecutionException(e.getMessage(), e);
    }
  }
}
