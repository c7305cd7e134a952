package com.runvo.runtime;

import java.io.File;
import java.io.FileOutputStream;
import java.io.IOException;
import java.io.OutputStream;
import java.nio.charset.Charset;
import java.nio.file.DirectoryStream;
import java.nio.file.FileAlreadyExistsException;
import java.nio.file.Files;
import java.nio.file.LinkOption;
import java.nio.file.Path;
import java.nio.file.attribute.BasicFileAttributes;
import java.time.Clock;
import java.time.Duration;
import java.time.Instant;
import java.time.LocalDate;
import java.util.ArrayList;
import java.util.Comparator;
import java.util.List;
import java.util.regex.Pattern;

/**
 * A file that rolls over as the service log does: before the line that would
 * take it past its size, and with the first line of a later day. Rolled by
 * size it becomes "NAME.1" (the older ones move up to "NAME.N"); rolled daily,
 * "NAME.2026-12-10" after the day its lines belong to, then "NAME.2026-12-10.1"
 * and on for further rolls of that day. Rolled files beyond the count or older
 * than the age limit are removed.
 *
 * <p>Lines stay whole: a file passes its size to finish the line it is in, and
 * only a line longer than the size itself is cut, into pieces of that size.
 * A file that cannot be renamed (held open elsewhere) is written on, which is
 * said once in it, and the roll is tried again a minute later: the
 * application never waits for it and no line is lost.
 */
final class RollingFileOutputStream extends OutputStream {

    static final Duration RETRY_AFTER = Duration.ofMinutes(1);
    private static final int MOST_ROLLS_A_DAY = 1000;
    private static final byte LINE_FEED = '\n';

    private final Path file;
    private final RollSettings settings;
    private final Clock clock;
    private final Pattern rolledName;
    private FileOutputStream out;
    private long size;
    private long lineBytes; // of the line not yet ended
    private LocalDate fileDay;
    private Instant failedAt;
    private boolean failureSaid;

    RollingFileOutputStream(File file, boolean append, RollSettings settings, Clock clock) throws IOException {
        this.file = file.toPath();
        this.settings = settings;
        this.clock = clock;
        this.rolledName = Pattern.compile(Pattern.quote(this.file.getFileName().toString())
                + "\\.(\\d+|\\d{4}-\\d{2}-\\d{2}(\\.\\d+)?)");
        this.out = new FileOutputStream(file, append);
        this.size = append ? file.length() : 0;
        // An empty file holds today's lines whenever it was made.
        this.fileDay = size > 0 ? dayOf(Files.getLastModifiedTime(this.file).toInstant()) : today();
        // Files that aged while the application was stopped go when it starts.
        removeExpiredRolledFiles();
    }

    @Override
    public synchronized void write(int b) throws IOException {
        write(new byte[] {(byte) b}, 0, 1);
    }

    @Override
    public synchronized void write(byte[] bytes, int offset, int length) throws IOException {
        while (length > 0) {
            if (lineBytes == 0) {
                rollIfDue(firstLineLength(bytes, offset, length));
            }
            final long limit = settings.rollBytes;
            int piece = length;
            if (limit > 0 && size + length > limit) {
                // Line by line, so that the next line can begin a new file.
                piece = (int) Math.min(firstLineLength(bytes, offset, length), limit - lineBytes);
                if (piece <= 0) {
                    lineBytes = 0; // a line as long as the size: the rest begins the next file
                    continue;
                }
            }
            out.write(bytes, offset, piece);
            size += piece;
            final int lastLineFeed = lastLineFeed(bytes, offset, piece);
            lineBytes = lastLineFeed < 0 ? lineBytes + piece : offset + piece - lastLineFeed - 1;
            offset += piece;
            length -= piece;
        }
    }

    @Override
    public synchronized void flush() throws IOException {
        out.flush();
    }

    @Override
    public synchronized void close() throws IOException {
        out.close();
    }

    private void rollIfDue(int nextLineLength) throws IOException {
        if (size == 0) {
            return;
        }
        final Instant now = clock.instant();
        if (failedAt != null && now.isBefore(failedAt.plus(RETRY_AFTER)) && !now.isBefore(failedAt)) {
            return;
        }
        final boolean newDay = settings.daily && today().isAfter(fileDay);
        final boolean full = settings.rollBytes > 0 && size + nextLineLength > settings.rollBytes;
        if (newDay || full) {
            roll(now);
        }
    }

    private void roll(Instant now) throws IOException {
        out.close();
        try {
            moveAside();
        } catch (IOException | SecurityException problem) {
            out = new FileOutputStream(file.toFile(), true);
            size = file.toFile().length();
            failedAt = now;
            if (!failureSaid) {
                failureSaid = true;
                sayOnce("runvo: " + file + " could not be rolled over (" + problem
                        + "); it is written on and rolled over when it can be" + System.lineSeparator());
            }
            return;
        }
        out = new FileOutputStream(file.toFile(), false);
        size = 0;
        fileDay = today();
        failedAt = null;
        failureSaid = false;
        removeExpiredRolledFiles();
    }

    private void sayOnce(String notice) throws IOException {
        final byte[] bytes = notice.getBytes(Charset.defaultCharset());
        out.write(bytes);
        size += bytes.length;
    }

    /** Renames the file to its rolled name, or deletes it when no rolled file is kept. */
    private void moveAside() throws IOException {
        if (settings.keptFiles == 0) {
            Files.delete(file);
            return;
        }
        if (settings.daily) {
            for (int attempt = 0; attempt < MOST_ROLLS_A_DAY; attempt++) {
                try {
                    Files.move(file, sibling(fileDay + (attempt == 0 ? "" : "." + attempt)));
                    return;
                } catch (FileAlreadyExistsException taken) {
                    // a further roll of the same day: the next number
                }
            }
            throw new FileAlreadyExistsException(sibling(fileDay.toString()).toString());
        }
        final Path oldest = sibling(Integer.toString(settings.keptFiles));
        if (isOwnFile(oldest)) {
            Files.delete(oldest);
        }
        for (int index = settings.keptFiles - 1; index >= 1; index--) {
            final Path from = sibling(Integer.toString(index));
            if (isOwnFile(from)) {
                try {
                    Files.move(from, sibling(Integer.toString(index + 1)));
                } catch (IOException stays) {
                    // held open or its next name taken: it keeps its lines where it is
                }
            }
        }
        // Never replaces, so a rolled file that stayed where it was keeps its lines.
        Files.move(file, sibling("1"));
    }

    private void removeExpiredRolledFiles() {
        if (!settings.rolls()) {
            return;
        }
        final List<RolledFile> rolled = new ArrayList<>();
        final Path folder = file.toAbsolutePath().getParent();
        try (DirectoryStream<Path> entries = Files.newDirectoryStream(folder)) {
            for (Path entry : entries) {
                if (rolledName.matcher(entry.getFileName().toString()).matches() && isOwnFile(entry)) {
                    rolled.add(new RolledFile(entry));
                }
            }
        } catch (IOException | SecurityException unreadable) {
            return; // tried again with the next roll
        }
        // Newest first; the name only keeps the order of equal times fixed.
        rolled.sort(Comparator.comparing((RolledFile entry) -> entry.lastWrite)
                .thenComparing(entry -> entry.path.getFileName().toString()).reversed());
        final Instant now = clock.instant();
        for (int i = 0; i < rolled.size(); i++) {
            final boolean beyondCount = i >= settings.keptFiles;
            final boolean tooOld = settings.keptDays > 0
                    && Duration.between(rolled.get(i).lastWrite, now).compareTo(Duration.ofDays(settings.keptDays)) > 0;
            if (beyondCount || tooOld) {
                try {
                    Files.deleteIfExists(rolled.get(i).path);
                } catch (IOException | SecurityException held) {
                    // tried again with the next roll
                }
            }
        }
    }

    private static final class RolledFile {
        final Path path;
        final Instant lastWrite;

        RolledFile(Path path) {
            this.path = path;
            this.lastWrite = lastWrite(path);
        }
    }

    /** A plain file: never a folder or a link that someone else put there. */
    private static boolean isOwnFile(Path path) {
        return Files.isRegularFile(path, LinkOption.NOFOLLOW_LINKS);
    }

    private static Instant lastWrite(Path path) {
        try {
            return Files.readAttributes(path, BasicFileAttributes.class, LinkOption.NOFOLLOW_LINKS)
                    .lastModifiedTime().toInstant();
        } catch (IOException e) {
            return Instant.EPOCH;
        }
    }

    private Path sibling(String suffix) {
        return file.resolveSibling(file.getFileName() + "." + suffix);
    }

    private LocalDate today() {
        return LocalDate.now(clock);
    }

    private LocalDate dayOf(Instant instant) {
        return instant.atZone(clock.getZone()).toLocalDate();
    }

    private static int firstLineLength(byte[] bytes, int offset, int length) {
        for (int i = offset; i < offset + length; i++) {
            if (bytes[i] == LINE_FEED) {
                return i - offset + 1;
            }
        }
        return length;
    }

    private static int lastLineFeed(byte[] bytes, int offset, int length) {
        for (int i = offset + length - 1; i >= offset; i--) {
            if (bytes[i] == LINE_FEED) {
                return i;
            }
        }
        return -1;
    }
}
