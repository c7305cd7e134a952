package com.runvo.runtime;

/**
 * The runtime launcher class of the runvo flavour. The child run of runvo.exe
 * creates a VM in its own process and calls {@link #main} on its main thread;
 * that call runs the application and returns when the application's
 * {@code main} returns.
 *
 * <p>The argument array, as the native launcher builds it:
 * <ol start="0">
 *   <li>"true" for a windowed application, otherwise "false" (informational);
 *   <li>the application's main class, with dots;
 *   <li>the file that receives standard error, "" for none;
 *   <li>the file that receives standard output, "" for none;
 *   <li>"true" to append to those files instead of replacing them;
 *   <li>and on: the application's arguments.
 * </ol>
 *
 * <p>The service name rule: the service host starts the child with the
 * service name as its first argument, and the native side always passes the
 * child's first argument as element 5. So when the system property
 * {@code runvo.isService} is "true" and the array has more than five elements,
 * element 5 is the service name: it becomes the system property
 * {@code runvo.serviceName} and the application gets the elements from 6 on.
 * Otherwise the application gets every element from 5 on.
 *
 * <p>Before the application starts, a daemon thread watches standard input
 * for the stop line that the service host sends (a decimal code and a line
 * feed) and ends the VM with that code, so the application's shutdown hooks
 * run. In a service, the end of standard input also ends the VM (with 0): the
 * host has gone. Outside a service the end of input is ignored. The watcher
 * reads standard input, so an application that reads it too shares its lines.
 *
 * <p>Problems of the launch itself (a missing main class, no usable
 * {@code main}, an output file that cannot be opened) print one line starting
 * with "runvo: " and end the VM with exit code 1. An exception thrown by the
 * application's {@code main} leaves this method as it is, so the native side
 * sees it pending, has the VM print it and ends with exit code 1. While
 * standard error is redirected, both also reach the process's own standard
 * error, which the service host copies into the service log (see
 * {@link ProcessError}).
 */
public final class WinLauncher {

    private WinLauncher() {
    }

    public static void main(String[] args) throws Throwable {
        ApplicationLauncher.launch(args);
    }
}
