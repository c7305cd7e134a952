package com.runvo.runtime;

import java.time.Clock;

/**
 * The launch sequence that the runtime launcher classes of both flavours
 * share; see {@link WinLauncher} for the argument array and its rules.
 */
public final class ApplicationLauncher {

    private static final String IS_SERVICE_PROPERTY = "runvo.isService";
    private static final String SERVICE_NAME_PROPERTY = "runvo.serviceName";
    private static final int LAUNCH_FAILED = 1;

    private ApplicationLauncher() {
    }

    public static void launch(String[] launcherArguments) throws Throwable {
        final boolean isService = "true".equals(System.getProperty(IS_SERVICE_PROPERTY));
        final ProcessError processError = ProcessError.capture();
        final LaunchArguments arguments;
        try {
            arguments = LaunchArguments.parse(launcherArguments, isService);
            // Redirect first, so that a later failure lands where the user looks.
            OutputRedirection.apply(arguments.standardErrorFile, arguments.standardOutputFile, arguments.append,
                    RollSettings.fromSystemProperties(), Clock.systemDefaultZone());
        } catch (LaunchFailure failure) {
            exitWith(failure, processError);
            return;
        }
        if (arguments.serviceName != null) {
            System.setProperty(SERVICE_NAME_PROPERTY, arguments.serviceName);
        }
        StopLineWatcher.start(System.in, isService, processError);

        try {
            ApplicationMain.find(arguments.mainClass).run(arguments.applicationArguments);
        } catch (LaunchFailure failure) {
            exitWith(failure, processError);
        } catch (Throwable thrown) {
            // What the application throws (its main, its class's initializer, a class it
            // lacks) stays pending for the native side, which has the VM print it.
            processError.applicationThrew(thrown);
            throw thrown;
        }
    }

    private static void exitWith(LaunchFailure failure, ProcessError processError) {
        processError.launchFailed("runvo: " + failure.getMessage());
        System.err.flush();
        System.exit(LAUNCH_FAILED);
    }
}
