package com.runvo.runtime;

import java.io.PrintStream;
import java.io.PrintWriter;
import java.io.StringWriter;
import java.util.Map;

/**
 * The standard error the process started with. The service host copies it
 * into the service log, and /start and /run show it; a redirected
 * {@code System.err} would keep the reason a launch failed from all three.
 * So while {@code System.err} goes elsewhere, the launch's failures and the
 * first lines of an exception that the application throws are written
 * here as well; otherwise they reach it once, through {@code System.err}.
 */
final class ProcessError {

    /** The exception line and the first frames: enough to say what failed and where. */
    private static final int TRACE_LINES = 6;
    private static final String CAUSE = "Caused by: ";

    private final PrintStream stream;

    private ProcessError(PrintStream stream) {
        this.stream = stream;
    }

    /** Must be called before System.err is redirected. */
    static ProcessError capture() {
        return new ProcessError(System.err);
    }

    /** Prints a launch failure on System.err and, when that is redirected, here too. */
    void launchFailed(String line) {
        System.err.println(line);
        if (redirected()) {
            stream.println(line);
        }
    }

    /**
     * Copies the head of what the VM is about to print for the exception on
     * System.err, when that is redirected: the exception line, the first
     * frames, and every cause with the frame that threw it.
     */
    void applicationThrew(Throwable thrown) {
        if (!redirected()) {
            return;
        }
        final String[] lines = ("Exception in thread \"main\" " + traceOf(thrown)).split("\\R");
        int left = 0;
        boolean afterCause = false;  // the frame that threw the cause
        for (int i = 0; i < lines.length; i++) {
            if (i < TRACE_LINES || afterCause || lines[i].startsWith(CAUSE)) {
                stream.println(lines[i]);
            } else {
                left++;
            }
            afterCause = lines[i].startsWith(CAUSE);
        }
        if (left > 0) {
            stream.println("\t... " + left + " more lines on the redirected standard error");
        }
        stream.flush();
    }

    /**
     * Every thread's stack, for the service host's watchdog, which asks for it
     * when the application stopped answering, just before it ends the process:
     * it goes where the host reads, whatever System.err is redirected to.
     */
    void threadDump() {
        final StringBuilder dump = new StringBuilder("runvo: thread dump requested by the service host\n");
        for (Map.Entry<Thread, StackTraceElement[]> entry : Thread.getAllStackTraces().entrySet()) {
            final Thread thread = entry.getKey();
            dump.append('"').append(thread.getName()).append('"').append(thread.isDaemon() ? " daemon" : "")
                    .append(' ').append(thread.getState()).append('\n');
            for (StackTraceElement frame : entry.getValue()) {
                dump.append("\tat ").append(frame).append('\n');
            }
        }
        stream.print(dump.append("runvo: end of the thread dump"));
        stream.println();
        stream.flush();
    }

    private boolean redirected() {
        return System.err != stream;
    }

    private static String traceOf(Throwable thrown) {
        final StringWriter text = new StringWriter();
        try {
            thrown.printStackTrace(new PrintWriter(text, true));
        } catch (Throwable failedToPrint) {
            // The application's toString or getMessage failed; its class still says what
            // happened, and the exception that leaves main stays the application's own.
            return thrown.getClass().getName();
        }
        return text.toString();
    }
}
