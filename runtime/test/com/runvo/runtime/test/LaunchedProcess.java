package com.runvo.runtime.test;

import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.nio.charset.Charset;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.TimeUnit;

/**
 * A java process that runs a runtime launcher class from the jar under test
 * with the test application on its class path. Its output is collected as it
 * comes, so a test can wait for a line while the process still runs.
 */
final class LaunchedProcess implements AutoCloseable {

    /** Far above what a healthy run needs; only a hanging launch waits this long. */
    static final long TIMEOUT_MILLISECONDS = 20_000;

    private final Process process;
    // Bytes, decoded when read, so that a character split between reads survives.
    private final ByteArrayOutputStream output = new ByteArrayOutputStream();
    private final ByteArrayOutputStream error = new ByteArrayOutputStream();
    private final Thread outputPump;
    private final Thread errorPump;

    private LaunchedProcess(Process process) {
        this.process = process;
        this.outputPump = pump(process.getInputStream(), output);
        this.errorPump = pump(process.getErrorStream(), error);
    }

    /**
     * @param classPath the jar under test and the test application
     * @param properties system properties such as "runvo.isService=true"
     * @param launcherArguments the whole argument array of the launcher class
     */
    static LaunchedProcess start(String classPath, Path directory, List<String> properties, String launcherClass,
            List<String> launcherArguments) throws IOException {
        final List<String> command = new ArrayList<>();
        command.add(Path.of(System.getProperty("java.home"), "bin", "java").toString());
        // A quick start matters more than speed later: these runs are short.
        command.add("-XX:TieredStopAtLevel=1");
        command.add("-XX:+UseSerialGC");
        command.add("-cp");
        command.add(classPath);
        for (String property : properties) {
            command.add("-D" + property);
        }
        command.add(launcherClass);
        command.addAll(launcherArguments);
        return new LaunchedProcess(new ProcessBuilder(command).directory(directory.toFile()).start());
    }

    void send(String text) throws IOException {
        final OutputStream input = process.getOutputStream();
        input.write(text.getBytes(Charset.defaultCharset()));
        input.flush();
    }

    void closeInput() throws IOException {
        process.getOutputStream().close();
    }

    void awaitOutput(String text) throws InterruptedException {
        awaitText(output, text, "the output");
    }

    void awaitError(String text) throws InterruptedException {
        awaitError(text, 1);
    }

    /** Waits until standard error holds the text the given number of times. */
    void awaitError(String text, int times) throws InterruptedException {
        awaitText(error, text, times, "standard error");
    }

    private void awaitText(ByteArrayOutputStream stream, String text, String what) throws InterruptedException {
        awaitText(stream, text, 1, what);
    }

    private void awaitText(ByteArrayOutputStream stream, String text, int times, String what)
            throws InterruptedException {
        final long deadline = System.currentTimeMillis() + TIMEOUT_MILLISECONDS;
        while (occurrences(decoded(stream), text) < times) {
            if (!process.isAlive() || System.currentTimeMillis() > deadline) {
                throw new AssertionError("no \"" + text + "\" in " + what + "; " + describe());
            }
            Thread.sleep(10);
        }
    }

    /** The exit code; a process that does not end in time is killed and the test fails. */
    int awaitExit() throws InterruptedException {
        if (!process.waitFor(TIMEOUT_MILLISECONDS, TimeUnit.MILLISECONDS)) {
            process.destroyForcibly();
            throw new AssertionError("the process did not end; " + describe());
        }
        outputPump.join(TIMEOUT_MILLISECONDS);
        errorPump.join(TIMEOUT_MILLISECONDS);
        return process.exitValue();
    }

    /** True when the process is still running after the given time. */
    boolean keepsRunningFor(long milliseconds) throws InterruptedException {
        return !process.waitFor(milliseconds, TimeUnit.MILLISECONDS);
    }

    String output() {
        return decoded(output);
    }

    String error() {
        return decoded(error);
    }

    String describe() {
        return "standard output \"" + output() + "\", standard error \"" + error() + "\"";
    }

    @Override
    public void close() {
        if (process.isAlive()) {
            process.destroyForcibly();
        }
    }

    private static int occurrences(String in, String text) {
        int count = 0;
        for (int at = in.indexOf(text); at >= 0; at = in.indexOf(text, at + text.length())) {
            count++;
        }
        return count;
    }

    private static String decoded(ByteArrayOutputStream bytes) {
        return new String(bytes.toByteArray(), Charset.defaultCharset());
    }

    private static Thread pump(InputStream from, ByteArrayOutputStream into) {
        final Thread thread = new Thread(() -> {
            final byte[] chunk = new byte[4096];
            try {
                for (int got; (got = from.read(chunk)) > 0;) {
                    into.write(chunk, 0, got);
                }
            } catch (IOException ended) {
                // The process is gone; what arrived is kept.
            }
        });
        thread.setDaemon(true);
        thread.start();
        return thread;
    }
}
