package com.runvo.runtime;

import java.io.BufferedReader;
import java.io.IOException;
import java.io.InputStream;
import java.io.InputStreamReader;
import java.nio.charset.StandardCharsets;

/**
 * Watches standard input for the stop line of the service host: a decimal
 * exit code on a line of its own. System.exit rather than a return, so that
 * the application's shutdown hooks run whatever its threads are doing. The
 * host's watchdog may also ask for a thread dump, with a line of its own.
 */
final class StopLineWatcher implements Runnable {

    private static final int HOST_GONE = 0;
    /** The host's request for a thread dump; the same text as the launcher's. */
    static final String THREAD_DUMP_LINE = "threaddump";

    private final InputStream input;
    private final boolean exitAtEndOfInput;
    private final ProcessError processError;

    private StopLineWatcher(InputStream input, boolean exitAtEndOfInput, ProcessError processError) {
        this.input = input;
        this.exitAtEndOfInput = exitAtEndOfInput;
        this.processError = processError;
    }

    /**
     * @param exitAtEndOfInput true in a service, whose standard input is the
     *     host's pipe: its end means the host is gone. A console's input ends
     *     only when the user says so, which is no request to stop.
     */
    static void start(InputStream input, boolean exitAtEndOfInput, ProcessError processError) {
        final Thread thread = new Thread(new StopLineWatcher(input, exitAtEndOfInput, processError), "runvo stop line");
        thread.setDaemon(true);
        thread.start();
    }

    @Override
    public void run() {
        // The stop line is ASCII; Latin-1 decodes any byte, so no input can fail here.
        final BufferedReader reader = new BufferedReader(new InputStreamReader(input, StandardCharsets.ISO_8859_1));
        try {
            for (String line; (line = reader.readLine()) != null;) {
                if (THREAD_DUMP_LINE.equals(line.trim())) {
                    processError.threadDump();
                    continue;
                }
                final Integer code = stopCode(line);
                if (code != null) {
                    System.exit(code);
                }
            }
        } catch (IOException e) {
            // An unreadable input is no stop request: keep the application running.
            System.err.println("runvo: standard input cannot be read (" + e.getMessage()
                    + "); the stop line will not be seen");
            return;
        }
        if (exitAtEndOfInput) {
            System.exit(HOST_GONE);
        }
    }

    /** The exit code a line asks for, or null for any other line. */
    static Integer stopCode(String line) {
        final String text = line.trim();
        if (!text.matches("[+-]?[0-9]+")) {
            return null;
        }
        try {
            return Integer.valueOf(text);
        } catch (NumberFormatException tooLarge) {
            return null;
        }
    }
}
