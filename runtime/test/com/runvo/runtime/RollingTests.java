package com.runvo.runtime;

import com.runvo.runtime.test.Check;
import java.io.File;
import java.io.IOException;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.attribute.FileTime;
import java.time.Clock;
import java.time.Duration;
import java.time.Instant;
import java.time.LocalDateTime;
import java.time.ZoneId;
import java.time.ZoneOffset;
import java.util.ArrayList;
import java.util.List;
import java.util.TreeMap;
import java.util.stream.Collectors;
import java.util.stream.Stream;

/**
 * The rolling of the [output] files, in this process with a clock the checks
 * set: the stream under test is the one the redirection puts under its
 * PrintStream. Each check gets a fresh folder of its own.
 */
public final class RollingTests {

    private static final ZoneId ZONE = ZoneOffset.ofHours(1);

    private RollingTests() {
    }

    /** A clock that moves only when a check moves it. */
    private static final class SetClock extends Clock {
        private Instant now;

        SetClock(String localTime) {
            set(localTime);
        }

        void set(String localTime) {
            now = LocalDateTime.parse(localTime).atZone(ZONE).toInstant();
        }

        void advance(Duration duration) {
            now = now.plus(duration);
        }

        @Override
        public ZoneId getZone() {
            return ZONE;
        }

        @Override
        public Clock withZone(ZoneId zone) {
            throw new UnsupportedOperationException();
        }

        @Override
        public Instant instant() {
            return now;
        }
    }

    /** Each write is one print of the PrintStream; files: the current file first, then .1, .2 ... */
    public record SizeCase(String name, long rollBytes, List<String> writes, List<String> files) {
        @Override
        public String toString() {
            return name;
        }
    }

    public static final List<SizeCase> SIZE_CASES = List.of(
            new SizeCase("rolls before the line that would pass the size", 10,
                    List.of("aaaa\n", "bbbb\n", "cccc\n", "dd\n"), List.of("cccc\ndd\n", "aaaa\nbbbb\n")),
            new SizeCase("exactly the size stays in one file", 10, List.of("aaaa\n", "bbbb\n"),
                    List.of("aaaa\nbbbb\n")),
            new SizeCase("a line written in pieces stays whole, passing the size", 10,
                    List.of("aaaaaa\n", "bb", "bbb", "bb\n", "c\n"), List.of("c\n", "aaaaaa\nbbbbbbb\n")),
            new SizeCase("many lines in one write are split between lines", 10,
                    List.of("aaa\nbbb\nccc\nddd\neee\n"), List.of("eee\n", "ccc\nddd\n", "aaa\nbbb\n")),
            new SizeCase("a line longer than the size is cut into pieces of the size", 10,
                    List.of("x\n", "0123456789abcdefghijKLM\n", "y\n"),
                    List.of("KLM\ny\n", "abcdefghij", "0123456789", "x\n")),
            new SizeCase("an unended line is cut at the size too", 4, List.of("ab", "cd", "ef", "gh", "i"),
                    List.of("i", "efgh", "abcd")));

    public static void checkSizeRoll(SizeCase c, Path folder) throws IOException {
        final File file = folder.resolve("out.txt").toFile();
        final SetClock clock = new SetClock("2026-12-10T12:00:00");
        try (PrintStream stream = new PrintStream(
                new RollingFileOutputStream(file, false, new RollSettings(c.rollBytes, false, 10, 0), clock), true)) {
            for (String write : c.writes) {
                stream.print(write);
            }
        }
        Check.equal(c.files, numberedContents(folder, "out.txt"), "the files, newest first");
    }

    public static void checkDailyRoll(Path folder) throws IOException {
        final File file = folder.resolve("out.txt").toFile();
        final SetClock clock = new SetClock("2026-12-10T23:59:59.999");
        try (PrintStream stream = new PrintStream(
                new RollingFileOutputStream(file, false, new RollSettings(20, true, 10, 0), clock), true)) {
            stream.print("late\n");
            stream.print("unended ");
            clock.set("2026-12-11T00:00:00");
            stream.print("line\n"); // finishes the line of the old day in its file
            stream.print("new day\n");
            stream.print("still 11th\n");
            stream.print("and on\n"); // past the size
            clock.set("2026-12-12T08:00:00");
            stream.print("12th\n");
        }
        final TreeMap<String, String> expected = new TreeMap<>();
        expected.put("out.txt", "12th\n");
        expected.put("out.txt.2026-12-10", "late\nunended line\n");
        expected.put("out.txt.2026-12-11", "new day\nstill 11th\n");
        expected.put("out.txt.2026-12-11.1", "and on\n");
        Check.equal(expected, contents(folder), "the files");
    }

    public static void checkFileOfAnEarlierDay(Path folder) throws IOException {
        final Path path = folder.resolve("out.txt");
        Files.writeString(path, "from the 3rd\n");
        Files.setLastModifiedTime(path, fileTime("2026-12-03T17:00:00"));
        final SetClock clock = new SetClock("2026-12-10T09:00:00");
        try (PrintStream stream = new PrintStream(
                new RollingFileOutputStream(path.toFile(), true, new RollSettings(0, true, 5, 0), clock), true)) {
            stream.print("today\n");
        }
        final TreeMap<String, String> expected = new TreeMap<>();
        expected.put("out.txt", "today\n");
        expected.put("out.txt.2026-12-03", "from the 3rd\n");
        Check.equal(expected, contents(folder), "the files");
    }

    public record RetentionCase(String name, int keptFiles, int keptDays, List<String> remaining) {
        @Override
        public String toString() {
            return name;
        }
    }

    // Rolled files left from earlier runs, last written at these times; the check starts on the 11th at noon.
    private static final String[][] EARLIER_FILES = {
        {"out.txt.2026-12-10", "2026-12-10T23:59:00"}, {"out.txt.2026-12-10.1", "2026-12-11T00:00:01"},
        {"out.txt.2026-12-09", "2026-12-09T23:59:00"}, {"out.txt.2026-12-08", "2026-12-08T23:59:00"},
        {"out.txt.3", "2026-12-01T12:00:00"},
    };

    public static final List<RetentionCase> RETENTION_CASES = List.of(
            new RetentionCase("everything kept", 5, 0,
                    List.of("out.txt.2026-12-08", "out.txt.2026-12-09", "out.txt.2026-12-10", "out.txt.2026-12-10.1",
                            "out.txt.3")),
            new RetentionCase("the newest by count", 2, 0, List.of("out.txt.2026-12-10", "out.txt.2026-12-10.1")),
            new RetentionCase("none kept", 0, 0, List.of()),
            new RetentionCase("not older than two days", 10, 2,
                    List.of("out.txt.2026-12-09", "out.txt.2026-12-10", "out.txt.2026-12-10.1")),
            new RetentionCase("the count keeps four, the age three", 4, 2,
                    List.of("out.txt.2026-12-09", "out.txt.2026-12-10", "out.txt.2026-12-10.1")));

    /** Applied when the file is opened (files that aged while the application was stopped) and after each roll. */
    public static void checkRetention(RetentionCase c, Path folder) throws IOException {
        for (String[] earlier : EARLIER_FILES) {
            final Path path = folder.resolve(earlier[0]);
            Files.writeString(path, earlier[0] + "\n");
            Files.setLastModifiedTime(path, fileTime(earlier[1]));
        }
        // Not files of this log, whatever their names say.
        Files.createDirectory(folder.resolve("out.txt.1"));
        Files.writeString(folder.resolve("other.txt.1"), "x");
        Files.createSymbolicLink(folder.resolve("out.txt.2"), folder.resolve("other.txt.1"));
        final SetClock clock = new SetClock("2026-12-11T12:00:00");
        try (PrintStream stream = new PrintStream(new RollingFileOutputStream(folder.resolve("out.txt").toFile(), false,
                new RollSettings(0, true, c.keptFiles, c.keptDays), clock), true)) {
            stream.print("today\n");
        }
        final List<String> remaining = new ArrayList<>(contents(folder).keySet());
        remaining.removeAll(List.of("out.txt", "out.txt.1", "out.txt.2", "other.txt.1"));
        Check.equal(c.remaining, remaining, "the rolled files that remain");
        Check.isTrue(Files.isDirectory(folder.resolve("out.txt.1")), "the folder named like a rolled file remains");
        Check.isTrue(Files.isSymbolicLink(folder.resolve("out.txt.2")), "the link named like a rolled file remains");
        Check.equal("x", Files.readString(folder.resolve("other.txt.1")), "the link's target");
    }

    /**
     * A name the roll cannot take (held here by a folder, as a file held open
     * elsewhere holds it on Windows): the file is written on and it says so
     * once; a minute later the roll is tried again, and when the name is free
     * every line is in the rolled file.
     */
    public static void checkFailedRename(Path folder) throws IOException {
        final Path taken = Files.createDirectory(folder.resolve("out.txt.1"));
        final SetClock clock = new SetClock("2026-12-10T12:00:00");
        final List<String> lines = new ArrayList<>();
        try (PrintStream stream = new PrintStream(new RollingFileOutputStream(folder.resolve("out.txt").toFile(), false,
                new RollSettings(20, false, 3, 0), clock), true)) {
            // Rolls at line 3 and fails, tries again at line 7 (a minute later) and fails again.
            for (int i = 1; i <= 8; i++) {
                lines.add("line " + i);
                stream.print("line " + i + "\n");
                clock.advance(Duration.ofSeconds(15));
            }
            final String held = Files.readString(folder.resolve("out.txt"));
            Check.once(held, "could not be rolled over", "the file that could not be rolled");
            Check.contains(held, "out.txt.1", "the notice names the file");
            Check.isTrue(Files.isDirectory(taken), "the folder in the way is untouched");
            Files.delete(taken);
            clock.advance(Duration.ofMinutes(1));
            lines.add("line 9");
            stream.print("line 9\n");
        }
        final String rolled = Files.readString(folder.resolve("out.txt.1"));
        Check.once(rolled, "could not be rolled over", "the rolled file");
        final List<String> written = Stream.of((rolled + Files.readString(folder.resolve("out.txt"))).split("\n"))
                .filter(line -> line.startsWith("line ")).collect(Collectors.toList());
        Check.equal(lines, written, "every line, in order");
        Check.equal("line 9\n", Files.readString(folder.resolve("out.txt")), "the new file");
    }

    /** The file, then its rolled files by number: out.txt, out.txt.1, out.txt.2 ... as far as they go. */
    private static List<String> numberedContents(Path folder, String name) throws IOException {
        final List<String> texts = new ArrayList<>();
        texts.add(Files.readString(folder.resolve(name), StandardCharsets.ISO_8859_1));
        for (int i = 1; Files.exists(folder.resolve(name + "." + i)); i++) {
            texts.add(Files.readString(folder.resolve(name + "." + i), StandardCharsets.ISO_8859_1));
        }
        return texts;
    }

    /** Every entry of the folder by name, with a file's text (a folder's or a link's: ""). */
    private static TreeMap<String, String> contents(Path folder) throws IOException {
        final TreeMap<String, String> entries = new TreeMap<>();
        for (File entry : folder.toFile().listFiles()) {
            final Path path = entry.toPath();
            final boolean plain = Files.isRegularFile(path, java.nio.file.LinkOption.NOFOLLOW_LINKS);
            entries.put(entry.getName(), plain ? Files.readString(path, StandardCharsets.ISO_8859_1) : "");
        }
        return entries;
    }

    private static FileTime fileTime(String localTime) {
        return FileTime.from(LocalDateTime.parse(localTime).atZone(ZONE).toInstant());
    }
}
