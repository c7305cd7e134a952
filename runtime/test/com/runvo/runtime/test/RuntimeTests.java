package com.runvo.runtime.test;

import com.kestrelix.runtime.launcher.FirstRun;
import com.runvo.runtime.RollingTests;
import java.io.File;
import java.io.IOException;
import java.nio.charset.Charset;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Comparator;
import java.util.List;
import java.util.Map;
import java.util.concurrent.atomic.AtomicInteger;
import java.util.stream.Stream;

/**
 * The runtime jar's tests: each starts a java process that runs a runtime
 * launcher class with the test application testapp.Probe (or one of the
 * broken main classes beside it), the way runvo.exe calls it in the VM it
 * creates. Arguments: the runtime jar, the test application's class folder.
 */
public final class RuntimeTests {

    private static final String RUNVO_LAUNCHER = "com.runvo.runtime.WinLauncher";
    private static final String KESTRELIX_LAUNCHER = "com.kestrelix.runtime.launcher.WinLauncher";
    private static final String SERVICE = "runvo.isService=true";
    private static final String PROBE = "testapp.Probe";

    // What Probe prints in its report mode when it has no arguments.
    private static final String REPORT_OUTPUT = "args=\nserviceName=null\nlast words";
    private static final String REPORT_ERROR = "to stderr\n";
    private static final String REPORT_INTERLEAVED = "args=\nserviceName=null\nto stderr\nlast words";
    private static final String OLD = "old\n";

    private final String classPath;
    private final Path scratch;
    private final AtomicInteger caseCount = new AtomicInteger();

    private RuntimeTests(String classPath, Path scratch) {
        this.classPath = classPath;
        this.scratch = scratch;
    }

    public static void main(String[] args) throws IOException {
        if (args.length != 2) {
            System.err.println("usage: RuntimeTests RUNTIME_JAR TEST_APP_CLASSES");
            System.exit(2);
        }
        final Path scratch = Files.createTempDirectory("runvo-runtime-tests");
        final TestRunner runner = new TestRunner();
        new RuntimeTests(args[0] + File.pathSeparator + args[1], scratch).run(runner);
        final int exitCode = runner.finish();
        deleteTree(scratch);
        System.exit(exitCode);
    }

    private void run(TestRunner runner) {
        for (RedirectCase c : REDIRECT_CASES) {
            runner.test("redirection: " + c.name, () -> checkRedirection(c));
        }
        for (RedirectFailureCase c : REDIRECT_FAILURE_CASES) {
            runner.test("redirection refused: " + c.name, () -> checkRedirectionFailure(c));
        }
        for (String launcher : List.of(RUNVO_LAUNCHER, KESTRELIX_LAUNCHER)) {
            for (ArgumentCase c : ARGUMENT_CASES) {
                runner.test("arguments: " + c.name + " (" + launcher + ")", () -> checkArguments(launcher, c));
            }
        }
        for (StopCase c : STOP_CASES) {
            runner.test("stop line: " + c.name, () -> checkStop(c));
        }
        runner.test("thread dump: on the process's standard error, and the application runs on",
                () -> checkThreadDump(false));
        runner.test("thread dump: on the process's standard error while System.err is redirected",
                () -> checkThreadDump(true));
        runner.test("stop line: end of input outside a service keeps the application running",
                this::checkEndOfInputOutsideAService);
        for (FailureCase c : FAILURE_CASES) {
            runner.test("launch refused: " + c.name, () -> checkLaunchFailure(c));
        }
        for (ThrowCase c : THROW_CASES) {
            runner.test("application exception: " + c.name, () -> checkApplicationException(c));
        }
        for (RedirectedFailureCase c : REDIRECTED_FAILURE_CASES) {
            runner.test("standard error redirected: " + c.name, () -> checkRedirectedFailure(c));
        }
        runner.test("a public main of a class that is not public runs", this::checkPackagePrivateMainClass);
        for (RollingTests.SizeCase c : RollingTests.SIZE_CASES) {
            runner.test("rolling by size: " + c, () -> RollingTests.checkSizeRoll(c, freshDirectory()));
        }
        runner.test("rolling daily: named after the day of its lines, further rolls of a day numbered",
                () -> RollingTests.checkDailyRoll(freshDirectory()));
        runner.test("rolling daily: a file of an earlier day rolls with the first line",
                () -> RollingTests.checkFileOfAnEarlierDay(freshDirectory()));
        for (RollingTests.RetentionCase c : RollingTests.RETENTION_CASES) {
            runner.test("rolled files kept: " + c, () -> RollingTests.checkRetention(c, freshDirectory()));
        }
        runner.test("rolling: a name that cannot be taken: written on, said once, nothing lost",
                () -> RollingTests.checkFailedRename(freshDirectory()));
        for (RolledOutputCase c : ROLLED_OUTPUT_CASES) {
            runner.test("rolled output of the launched application: " + c.name, () -> checkRolledOutput(c));
        }
        for (FirstRunCase c : FIRST_RUN_CASES) {
            runner.testAlone("first run: " + c.name, () -> checkFirstRun(c));
        }
    }

    // ---- output redirection ----

    /** Paths starting with {dir} are made absolute in the case's directory, as the native side does. */
    private record RedirectCase(String name, String errorFile, String outputFile, boolean append,
            Map<String, String> expectedFiles, String expectedOutput, String expectedError) {
    }

    private static final List<RedirectCase> REDIRECT_CASES = List.of(
            new RedirectCase("two files replaced", "{dir}/err.txt", "{dir}/out.txt", false,
                    Map.of("err.txt", REPORT_ERROR, "out.txt", REPORT_OUTPUT), "", ""),
            new RedirectCase("two files appended to", "{dir}/err.txt", "{dir}/out.txt", true,
                    Map.of("err.txt", OLD + REPORT_ERROR, "out.txt", OLD + REPORT_OUTPUT), "", ""),
            new RedirectCase("one file for both, replaced", "{dir}/both.txt", "{dir}/both.txt", false,
                    Map.of("both.txt", REPORT_INTERLEAVED), "", ""),
            new RedirectCase("one file for both, appended to", "{dir}/both.txt", "{dir}/both.txt", true,
                    Map.of("both.txt", OLD + REPORT_INTERLEAVED), "", ""),
            new RedirectCase("one file named two ways", "{dir}/both.txt", "./both.txt", false,
                    Map.of("both.txt", REPORT_INTERLEAVED), "", ""),
            new RedirectCase("standard error only", "{dir}/err.txt", "", false,
                    Map.of("err.txt", REPORT_ERROR, "out.txt", OLD), REPORT_OUTPUT, ""),
            new RedirectCase("relative path in new directories", "", "logs/deep/out.txt", false,
                    Map.of("logs/deep/out.txt", REPORT_OUTPUT), "", REPORT_ERROR),
            new RedirectCase("none", "", "", false, Map.of("out.txt", OLD), REPORT_OUTPUT, REPORT_ERROR));

    private void checkRedirection(RedirectCase c) throws Exception {
        final Path directory = freshDirectory();
        for (String name : List.of("err.txt", "out.txt", "both.txt")) {
            Files.writeString(directory.resolve(name), OLD, Charset.defaultCharset());
        }
        final List<String> arguments = launcherArguments(PROBE, inCase(c.errorFile, directory),
                inCase(c.outputFile, directory), c.append);
        try (LaunchedProcess process = LaunchedProcess.start(classPath, directory, List.of(), RUNVO_LAUNCHER,
                arguments)) {
            Check.equal(0, process.awaitExit(), "exit code; " + process.describe());
            Check.equal(c.expectedOutput, process.output(), "standard output of the process");
            Check.equal(c.expectedError, process.error(), "standard error of the process");
        }
        for (Map.Entry<String, String> file : c.expectedFiles.entrySet()) {
            Check.equal(file.getValue(), read(directory.resolve(file.getKey())), file.getKey());
        }
    }

    private record RedirectFailureCase(String name, String errorFile, String outputFile, String messageFile,
            String message) {
    }

    /**
     * The case directory holds a directory "taken" and a file "plain.txt". The message reaches the
     * process's own standard error, and messageFile too unless it is "".
     */
    private static final List<RedirectFailureCase> REDIRECT_FAILURE_CASES = List.of(
            new RedirectFailureCase("error file is a directory", "{dir}/taken", "", "",
                    "runvo: cannot open {dir}/taken for standard error"),
            new RedirectFailureCase("output file is a directory: the message goes to the error file as well",
                    "{dir}/err.txt", "{dir}/taken", "err.txt", "runvo: cannot open {dir}/taken for standard output"),
            new RedirectFailureCase("a file stands where the directory would be made", "", "{dir}/plain.txt/out.txt",
                    "", "runvo: cannot create the directory {dir}/plain.txt for the standard output file"));

    private void checkRedirectionFailure(RedirectFailureCase c) throws Exception {
        final Path directory = freshDirectory();
        Files.createDirectory(directory.resolve("taken"));
        Files.writeString(directory.resolve("plain.txt"), OLD, Charset.defaultCharset());
        final List<String> arguments = launcherArguments(PROBE, inCase(c.errorFile, directory),
                inCase(c.outputFile, directory), false);
        try (LaunchedProcess process = LaunchedProcess.start(classPath, directory, List.of(), RUNVO_LAUNCHER,
                arguments)) {
            Check.equal(1, process.awaitExit(), "exit code; " + process.describe());
            final String message = inCase(c.message, directory);
            Check.contains(process.error(), message, "standard error of the process");
            if (!c.messageFile.isEmpty()) {
                Check.contains(read(directory.resolve(c.messageFile)), message, c.messageFile);
            }
            Check.equal("", process.output(), "standard output: the application must not run");
        }
    }

    // ---- rolling of the output files in a launched application ----

    private static final int PROBE_LINES = 400;

    /** files: how many files the lines are expected in (the file and its rolled files). */
    private record RolledOutputCase(String name, List<String> properties, String errorFile, String outputFile,
            int files) {
    }

    private static final List<RolledOutputCase> ROLLED_OUTPUT_CASES = List.of(
            new RolledOutputCase("one file for both, rolled by size", List.of("runvo.outputRollBytes=2000",
                    "runvo.outputKeptFiles=100"), "{dir}/both.txt", "{dir}/both.txt", 5),
            new RolledOutputCase("no roll settings: one growing file, as before", List.of(), "{dir}/both.txt",
                    "{dir}/both.txt", 1),
            new RolledOutputCase("unusable roll settings are left out", List.of("runvo.outputRollBytes=-1",
                    "runvo.outputRollDaily=yes"), "{dir}/both.txt", "{dir}/both.txt", 1));

    private void checkRolledOutput(RolledOutputCase c) throws Exception {
        final Path directory = freshDirectory();
        final List<String> properties = new ArrayList<>(c.properties);
        properties.addAll(List.of("probe.mode=lines", "probe.lines=" + PROBE_LINES));
        try (LaunchedProcess process = LaunchedProcess.start(classPath, directory, properties, RUNVO_LAUNCHER,
                launcherArguments(PROBE, inCase(c.errorFile, directory), inCase(c.outputFile, directory), false))) {
            Check.equal(0, process.awaitExit(), "exit code; " + process.describe());
        }
        final List<String> lines = new ArrayList<>();
        final List<Path> files;
        try (Stream<Path> listed = Files.list(directory)) {
            files = listed.sorted(Comparator.reverseOrder()).toList(); // both.txt.4 ... both.txt.1, both.txt
        }
        for (Path file : files) {
            final String text = read(file);
            Check.isTrue(text.length() <= 2000 || c.files == 1, file.getFileName() + " holds " + text.length() + " bytes");
            lines.addAll(text.lines().toList());
        }
        Check.equal(c.files, files.size(), "files " + files);
        final List<String> expected = new ArrayList<>();
        for (int i = 1; i <= PROBE_LINES; i++) {
            expected.add("line " + i + " of the probe");
        }
        Check.equal(expected, lines, "every line, whole and in order, across the files");
    }

    // ---- arguments and the service name ----

    /** isService: the value of runvo.isService, null for none. */
    private record ArgumentCase(String name, String isService, List<String> tail, String expectedReport) {
    }

    private static final List<ArgumentCase> ARGUMENT_CASES = List.of(
            new ArgumentCase("service: the first is the service name", "true", List.of("Svc", "a b", "-x", ""),
                    "args=a b|-x|\nserviceName=Svc\n"),
            new ArgumentCase("service: only the service name", "true", List.of("Svc"), "args=\nserviceName=Svc\n"),
            new ArgumentCase("service: no arguments at all", "true", List.of(), "args=\nserviceName=null\n"),
            new ArgumentCase("not a service: every argument for the application", "false", List.of("Svc", "a"),
                    "args=Svc|a\nserviceName=null\n"),
            new ArgumentCase("no service property: every argument for the application", null, List.of("x", "y"),
                    "args=x|y\nserviceName=null\n"));

    private void checkArguments(String launcher, ArgumentCase c) throws Exception {
        final List<String> arguments = new ArrayList<>(launcherArguments(PROBE, "", "", false));
        arguments.addAll(c.tail);
        final List<String> properties = c.isService == null ? List.of() : List.of("runvo.isService=" + c.isService);
        try (LaunchedProcess process = LaunchedProcess.start(classPath, freshDirectory(), properties, launcher,
                arguments)) {
            Check.equal(0, process.awaitExit(), "exit code; " + process.describe());
            Check.equal(c.expectedReport + "last words", process.output(), "what the application saw");
        }
    }

    // ---- the stop line ----

    private record StopCase(String name, boolean service, String input, boolean closeInput, int exitCode) {
    }

    private static final List<StopCase> STOP_CASES = List.of(
            new StopCase("0 as the service host sends it", true, "0\n", true, 0),
            new StopCase("another code", true, "3\n", false, 3),
            new StopCase("carriage return and line feed", true, "7\r\n", false, 7),
            new StopCase("blanks around the code", true, " 4 \n", false, 4),
            new StopCase("other lines are ignored", true, "hello\n\n12x\n99999999999\n2\n", false, 2),
            new StopCase("end of input in a service", true, "", true, 0),
            new StopCase("outside a service too", false, "5\n", false, 5));

    private void checkStop(StopCase c) throws Exception {
        try (LaunchedProcess process = startWaitingProbe(c.service)) {
            process.send(c.input);
            if (c.closeInput) {
                process.closeInput();
            }
            Check.equal(c.exitCode, process.awaitExit(), "exit code; " + process.describe());
            Check.contains(process.output(), "hook ran", "the application's shutdown hook");
        }
    }

    private void checkThreadDump(boolean errorRedirected) throws Exception {
        final Path directory = freshDirectory();
        final String errorFile = errorRedirected ? directory.resolve("err.log").toString() : "";
        try (LaunchedProcess process = LaunchedProcess.start(classPath, directory, List.of("probe.mode=wait", SERVICE),
                RUNVO_LAUNCHER, launcherArguments(PROBE, errorFile, "", false, "Svc"))) {
            process.awaitOutput("ready\n");
            // "ready" comes just before main parks, and a busy machine may dump
            // it on the way there: ask again until a dump finds it waiting.
            String dump = "";
            for (int asked = 1; asked <= 20 && !dump.contains("\"main\" WAITING"); asked++) {
                if (asked > 1) {
                    Thread.sleep(100);
                }
                process.send("threaddump\n");
                process.awaitError("runvo: end of the thread dump", asked);
                final String error = process.error();
                dump = error.substring(error.lastIndexOf("runvo: thread dump requested"));
            }
            Check.contains(dump, "\"main\" WAITING", "the main thread and its state");
            Check.contains(dump, "testapp.Probe.main(Probe.java", "the frame where the application waits");
            Check.isTrue(process.keepsRunningFor(500), "a dump request is no stop; " + process.describe());
            process.send("0\n");
            Check.equal(0, process.awaitExit(), "the stop line still ends it; " + process.describe());
            if (errorRedirected) {
                Check.isTrue(!Files.readString(directory.resolve("err.log")).contains("thread dump"),
                        "the dump goes where the host reads, not to the redirected file");
            }
        }
    }

    private void checkEndOfInputOutsideAService() throws Exception {
        try (LaunchedProcess process = startWaitingProbe(false)) {
            process.send("not a code\n");
            process.closeInput();
            Check.isTrue(process.keepsRunningFor(1500), "the application ended; " + process.describe());
        }
    }

    private LaunchedProcess startWaitingProbe(boolean service) throws Exception {
        final List<String> properties = new ArrayList<>(List.of("probe.mode=wait"));
        if (service) {
            properties.add(SERVICE);
        }
        final LaunchedProcess process = LaunchedProcess.start(classPath, freshDirectory(), properties,
                RUNVO_LAUNCHER, launcherArguments(PROBE, "", "", false, "Svc"));
        // The hook is registered before "ready"; a stop line sent earlier could end the VM without it.
        process.awaitOutput("ready\n");
        return process;
    }

    // ---- launches that cannot start the application ----

    private record FailureCase(String name, List<String> arguments, String message) {
    }

    private static List<FailureCase> noMainCases(String... classNames) {
        return Arrays.stream(classNames)
                .map(name -> new FailureCase(name, launcherArguments("testapp." + name, "", "", false),
                        "runvo: testapp." + name + " has no public static void main(String[])\n"))
                .toList();
    }

    private static final List<FailureCase> FAILURE_CASES = Stream.concat(Stream.of(
            new FailureCase("main class not found", launcherArguments("testapp.Missing", "", "", false),
                    "runvo: main class testapp.Missing not found\n"),
            new FailureCase("no main class", launcherArguments("", "", "", false),
                    "runvo: no main class is configured\n"),
            new FailureCase("too few arguments", List.of("false", PROBE, ""),
                    "runvo: the launcher passed 3 arguments; at least 5 are needed (windowed, main class, "
                            + "error file, output file, append)\n")),
            noMainCases("NoMain", "InstanceMain", "IntMain", "PrivateMain", "ObjectArrayMain").stream()).toList();

    private void checkLaunchFailure(FailureCase c) throws Exception {
        try (LaunchedProcess process = LaunchedProcess.start(classPath, freshDirectory(), List.of(SERVICE),
                RUNVO_LAUNCHER, c.arguments)) {
            Check.equal(1, process.awaitExit(), "exit code; " + process.describe());
            Check.equal(c.message, process.error(), "standard error");
            Check.equal("", process.output(), "standard output: no main may run");
        }
    }

    // ---- exceptions thrown by the application ----

    private record ThrowCase(String name, String mainClass, List<String> expectedInTrace) {
    }

    private static final List<ThrowCase> THROW_CASES = List.of(
            new ThrowCase("thrown by main", PROBE, List.of(
                    "Exception in thread \"main\" java.lang.IllegalStateException: probe failure\n",
                    "\tat testapp.Probe.main(")),
            new ThrowCase("thrown by the static initializer", "testapp.BrokenInitializer", List.of(
                    "java.lang.ExceptionInInitializerError",
                    "Caused by: java.lang.IllegalStateException: initializer failure")));

    private void checkApplicationException(ThrowCase c) throws Exception {
        try (LaunchedProcess process = LaunchedProcess.start(classPath, freshDirectory(),
                List.of(SERVICE, "probe.mode=throw"), RUNVO_LAUNCHER, launcherArguments(c.mainClass, "", "", false))) {
            Check.equal(1, process.awaitExit(), "exit code; " + process.describe());
            for (String part : c.expectedInTrace) {
                Check.contains(process.error(), part, "the stack trace");
            }
            // The application's own exception, not the reflection wrapper around it.
            Check.lacks(process.error(), "InvocationTargetException", "the stack trace");
            Check.lacks(process.error(), "runvo:", "the stack trace");
        }
    }

    // ---- failures while standard error goes to a file ----

    /**
     * reason: what must reach the error file and, for the service log, the process's own
     * standard error too; without redirection, once.
     */
    private record RedirectedFailureCase(String name, String mainClass, String probeMode, List<String> reason) {
    }

    private static final List<RedirectedFailureCase> REDIRECTED_FAILURE_CASES = List.of(
            new RedirectedFailureCase("main class not found", "testapp.Missing", "report",
                    List.of("runvo: main class testapp.Missing not found\n")),
            new RedirectedFailureCase("no main method", "testapp.NoMain", "report",
                    List.of("runvo: testapp.NoMain has no public static void main(String[])\n")),
            new RedirectedFailureCase("main throws", PROBE, "throw", List.of(
                    "Exception in thread \"main\" java.lang.IllegalStateException: probe failure\n",
                    "\tat testapp.Probe.main(")),
            // The cause, which says why, comes after the first frames.
            new RedirectedFailureCase("the static initializer throws", "testapp.BrokenInitializer", "report", List.of(
                    "java.lang.ExceptionInInitializerError",
                    "Caused by: java.lang.IllegalStateException: initializer failure\n"
                            + "\tat testapp.BrokenInitializer.<clinit>(")));

    /** Runs the case without redirection, then with standard error going to a file. */
    private void checkRedirectedFailure(RedirectedFailureCase c) throws Exception {
        final String unredirected = failingRunError(c, "");
        for (String part : c.reason) {
            Check.once(unredirected, part, "standard error without redirection");
        }
        final Path errorFile = freshDirectory().resolve("err.txt");
        final String copied = failingRunError(c, errorFile.toString());
        Check.equal(unredirected, read(errorFile), "the error file: what standard error gets without redirection");
        for (String part : c.reason) {
            Check.contains(copied, part, "standard error of the process");
        }
    }

    /** Standard error of a run that must fail with 1 before the application prints anything. */
    private String failingRunError(RedirectedFailureCase c, String errorFile) throws Exception {
        try (LaunchedProcess process = LaunchedProcess.start(classPath, freshDirectory(),
                List.of(SERVICE, "probe.mode=" + c.probeMode), RUNVO_LAUNCHER,
                launcherArguments(c.mainClass, errorFile, "", false))) {
            Check.equal(1, process.awaitExit(), "exit code; " + process.describe());
            Check.equal("", process.output(), "standard output");
            return process.error();
        }
    }

    private void checkPackagePrivateMainClass() throws Exception {
        try (LaunchedProcess process = LaunchedProcess.start(classPath, freshDirectory(), List.of(SERVICE),
                RUNVO_LAUNCHER, launcherArguments("testapp.PackagePrivateClass", "", "", false))) {
            Check.equal(0, process.awaitExit(), "exit code; " + process.describe());
            Check.equal("package-private class ran\n", process.output(), "standard output");
        }
    }

    // ---- the first-run hook, called in this process as the native side calls it ----

    private record FirstRunCase(String name, boolean markerExists, boolean propertyNamesMarker,
            boolean markerRemains) {
    }

    private static final List<FirstRunCase> FIRST_RUN_CASES = List.of(
            new FirstRunCase("the named marker is deleted", true, true, false),
            new FirstRunCase("a named marker that is gone already", false, true, false),
            new FirstRunCase("no marker named: nothing is deleted", true, false, true));

    private void checkFirstRun(FirstRunCase c) throws Exception {
        final Path marker = freshDirectory().resolve(".kestrelix").resolve("firstrun");
        Files.createDirectories(marker.getParent());
        if (c.markerExists) {
            Files.writeString(marker, "", Charset.defaultCharset());
        }
        if (c.propertyNamesMarker) {
            System.setProperty("runvo.firstRunMarker", marker.toString());
        }
        try {
            Check.isTrue(FirstRun.firstRun(), "firstRun must let the launch go on");
        } finally {
            System.clearProperty("runvo.firstRunMarker");
        }
        Check.equal(c.markerRemains, Files.exists(marker), "the marker exists afterwards");
    }

    // ---- helpers ----

    private static List<String> launcherArguments(String mainClass, String errorFile, String outputFile,
            boolean append, String... applicationArguments) {
        final List<String> arguments = new ArrayList<>(
                List.of("false", mainClass, errorFile, outputFile, String.valueOf(append)));
        arguments.addAll(List.of(applicationArguments));
        return arguments;
    }

    private Path freshDirectory() throws IOException {
        return Files.createDirectories(scratch.resolve("case" + caseCount.incrementAndGet()));
    }

    private static String inCase(String text, Path directory) {
        return text.replace("{dir}", directory.toString());
    }

    private static String read(Path file) throws IOException {
        return Files.readString(file, Charset.defaultCharset());
    }

    private static void deleteTree(Path root) throws IOException {
        try (Stream<Path> paths = Files.walk(root)) {
            for (Path path : paths.sorted(Comparator.reverseOrder()).toList()) {
                Files.delete(path);
            }
        }
    }
}
