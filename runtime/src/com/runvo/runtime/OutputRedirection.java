package com.runvo.runtime;

import java.io.File;
import java.io.FileOutputStream;
import java.io.IOException;
import java.io.OutputStream;
import java.io.PrintStream;
import java.time.Clock;

/** Points System.err and System.out at the configured files. */
final class OutputRedirection {

    private OutputRedirection() {
    }

    /**
     * Standard error first: when standard output then fails, its message
     * reaches the error file, which in a service is the only place the user
     * can read it (the host discards the child's own output).
     */
    static void apply(String errorFile, String outputFile, boolean append, RollSettings rolling, Clock clock)
            throws LaunchFailure {
        PrintStream errorStream = null;
        if (!errorFile.isEmpty()) {
            errorStream = open(resolve(errorFile), append, rolling, clock, "standard error");
            System.setErr(errorStream);
        }
        if (!outputFile.isEmpty()) {
            // Two streams on one file would each keep their own position and
            // overwrite each other's text; one file gets one stream.
            final boolean sameFile = errorStream != null && sameFile(resolve(errorFile), resolve(outputFile));
            System.setOut(sameFile ? errorStream : open(resolve(outputFile), append, rolling, clock, "standard output"));
        }
    }

    /** The native side passes full paths; a relative one counts from the current directory. */
    private static File resolve(String path) {
        return new File(path).getAbsoluteFile();
    }

    private static boolean sameFile(File first, File second) {
        try {
            return first.getCanonicalFile().equals(second.getCanonicalFile());
        } catch (IOException e) {
            return first.equals(second);
        }
    }

    /**
     * Flushing after every print, straight into the file: a service ends by
     * System.exit from the stop line, and nothing flushes a buffer then.
     */
    private static PrintStream open(File file, boolean append, RollSettings rolling, Clock clock, String what)
            throws LaunchFailure {
        final File directory = file.getParentFile();
        if (directory != null && !directory.isDirectory() && !directory.mkdirs() && !directory.isDirectory()) {
            throw new LaunchFailure("cannot create the directory " + directory + " for the " + what + " file");
        }
        try {
            final OutputStream stream = rolling.rolls() ? new RollingFileOutputStream(file, append, rolling, clock)
                    : new FileOutputStream(file, append);
            return new PrintStream(stream, true);
        } catch (IOException | SecurityException e) {
            throw new LaunchFailure("cannot open " + file + " for " + what + ": " + e.getMessage());
        }
    }
}
