package com.example.hello;

import java.time.LocalTime;

/** A tiny service: greets, then ticks once a second until it is stopped. */
public final class Hello {
    public static void main(String[] args) throws InterruptedException {
        String who = args.length > 0 ? String.join(" ", args) : "world";
        System.out.println("Hello, " + who + ", from " + System.getProperty("java.version"));
        Runtime.getRuntime().addShutdownHook(new Thread(() -> System.out.println("Hello service stopping")));
        while (true) {
            System.out.println("tick " + LocalTime.now().withNano(0));
            Thread.sleep(1000);
        }
    }
}
