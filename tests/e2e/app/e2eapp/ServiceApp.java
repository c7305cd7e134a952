package e2eapp;

import java.io.File;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.util.Arrays;

/**
 * The service of the end-to-end tests: reports what it was started with,
 * then leaves a worker thread running until the service is stopped.
 */
public final class ServiceApp {
    public static void main(String[] args) throws Exception {
        Runtime.getRuntime().addShutdownHook(new Thread(() -> System.out.println("shutdown hook ran")));
        System.out.println("args " + Arrays.toString(args));
        for (String key : new String[] {"runvo.isService", "runvo.serviceName", "runvo.isKestrelix", "os.name", "e2e.option"}) {
            System.out.println("property " + key + "=" + System.getProperty(key));
        }
        File tempDir = new File(System.getProperty("runvo.tempDir"));
        String[] names = tempDir.list();
        if (names != null) {
            Arrays.sort(names);
        }
        System.out.println("tempDir files " + Arrays.toString(names));
        File greeting = new File(tempDir, "data/greeting.txt");
        System.out.println("greeting " + new String(Files.readAllBytes(greeting.toPath()), StandardCharsets.UTF_8).trim());
        // main returns; the VM stays for this thread until the stop line ends it.
        Thread worker = new Thread(() -> {
            try {
                Thread.sleep(Long.MAX_VALUE);
            } catch (InterruptedException e) {
                Thread.currentThread().interrupt();
            }
        }, "worker");
        worker.start();
        System.out.println("main started");
    }
}
