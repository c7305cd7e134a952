package com.runvo.runtime.test;

import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.CompletableFuture;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;

/**
 * A small test runner: runs named checks, prints one line for each in the
 * order they were given and ends with "N passed, M failed". No test framework
 * is installed on the build machine, and these tests need nothing more.
 *
 * <p>Most checks wait for java processes, so they run side by side; a check
 * that changes this process's state runs alone with {@link #testAlone}.
 */
final class TestRunner {

    interface Body {
        void run() throws Exception;
    }

    private static final int SIDE_BY_SIDE = 4;

    private final ExecutorService pool = Executors.newFixedThreadPool(SIDE_BY_SIDE);
    private final List<CompletableFuture<String>> failures = new ArrayList<>();
    private final List<String> names = new ArrayList<>();

    /** Runs the check on the pool. */
    void test(String name, Body body) {
        names.add(name);
        failures.add(CompletableFuture.supplyAsync(() -> failureOf(body), pool));
    }

    /** Runs the check at once, on this thread. */
    void testAlone(String name, Body body) {
        names.add(name);
        failures.add(CompletableFuture.completedFuture(failureOf(body)));
    }

    /** Waits for every check, prints the results and the summary line; the exit code for the run. */
    int finish() {
        int passed = 0;
        int failed = 0;
        for (int i = 0; i < names.size(); i++) {
            final String failure = failures.get(i).join();
            if (failure == null) {
                passed++;
                System.out.println("ok    " + names.get(i));
            } else {
                failed++;
                System.out.println("FAIL  " + names.get(i) + ": " + failure);
            }
        }
        pool.shutdown();
        System.out.println(passed + " passed, " + failed + " failed");
        return failed == 0 ? 0 : 1;
    }

    /** What went wrong, or null when the check passed. */
    private static String failureOf(Body body) {
        try {
            body.run();
            return null;
        } catch (AssertionError problem) {
            return problem.getMessage();
        } catch (Throwable problem) {
            final StringBuilder text = new StringBuilder(problem.toString());
            for (StackTraceElement frame : problem.getStackTrace()) {
                text.append("\n        at ").append(frame);
            }
            return text.toString();
        }
    }
}
