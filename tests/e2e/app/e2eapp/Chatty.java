package e2eapp;

/**
 * An application that writes a lot: "out line N" on standard output from
 * main and "err line N" on standard error from a second thread at the same
 * time, then ends. Arguments: how many lines of each.
 */
public final class Chatty {
    public static void main(String[] args) throws InterruptedException {
        final int lines = Integer.parseInt(args[0]);
        Thread errors = new Thread(() -> {
            for (int i = 1; i <= lines; i++) {
                System.err.println("err line " + i);
            }
        }, "errors");
        errors.start();
        for (int i = 1; i <= lines; i++) {
            System.out.println("out line " + i);
        }
        errors.join();
    }
}
