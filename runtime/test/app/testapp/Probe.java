package testapp;

import java.util.concurrent.CountDownLatch;

/**
 * The application the runtime tests launch. The system property probe.mode
 * picks what it does: "report" (the default) prints its arguments and the
 * service name, "wait" registers a shutdown hook and waits to be stopped,
 * "throw" fails in main, "lines" prints probe.lines numbered lines, the odd
 * ones to standard output and the even ones to standard error.
 */
public final class Probe {

    public static void main(String[] args) throws InterruptedException {
        switch (System.getProperty("probe.mode", "report")) {
            case "wait":
                Runtime.getRuntime().addShutdownHook(new Thread(() -> System.out.println("hook ran")));
                System.out.println("ready");
                new CountDownLatch(1).await();
                break;
            case "throw":
                throw new IllegalStateException("probe failure");
            case "lines":
                for (int i = 1; i <= Integer.getInteger("probe.lines", 0); i++) {
                    (i % 2 == 1 ? System.out : System.err).println("line " + i + " of the probe");
                }
                break;
            default:
                System.out.println("args=" + String.join("|", args));
                System.out.println("serviceName=" + System.getProperty("runvo.serviceName"));
                System.err.println("to stderr");
                // Without a line end: lost if the launcher buffers its output files.
                System.out.print("last words");
        }
    }
}
