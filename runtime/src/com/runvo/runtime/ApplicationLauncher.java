package com.runvo.runtime;

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
        final LaunchArguments arguments;
        try {
            arguments = LaunchArguments.parse(launcherArguments, isService);
            // Redirect first, so that a later failure lands where the user looks.
            OutputRedirection.apply(arguments.standardErrorFile, arguments.standardOutputFile, arguments.append);
        } catch (LaunchFailure failure) {
            exitWith(failure);
            return;
        }
        if (arguments.serviceName != null) {
            System.setProperty(SERVICE_NAME_PROPERTY, arguments.serviceName);
        }
        StopLineWatcher.start(System.in, isService);

        final ApplicationMain main;
        try {
            main = ApplicationMain.find(arguments.mainClass);
        } catch (LaunchFailure failure) {
            exitWith(failure);
            return;
        }
        main.run(arguments.applicationArguments);
    }

    private static void exitWith(LaunchFailure failure) {
        System.err.println("runvo: " + failure.getMessage());
        System.err.flush();
        System.exit(LAUNCH_FAILED);
    }
}
