package com.runvo.runtime;

import java.util.Arrays;

/**
 * The argument array of the runtime launcher class, taken apart. Element 0
 * (windowed application) is informational: nothing here depends on it.
 */
final class LaunchArguments {

    private static final int LEADING_ELEMENTS = 5;

    final String mainClass;
    final String standardErrorFile;  // "" for none
    final String standardOutputFile; // "" for none
    final boolean append;
    final String serviceName;        // null outside a service
    final String[] applicationArguments;

    private LaunchArguments(String[] array, String serviceName, int firstApplicationArgument) {
        this.mainClass = array[1];
        this.standardErrorFile = array[2];
        this.standardOutputFile = array[3];
        this.append = "true".equals(array[4]);
        this.serviceName = serviceName;
        this.applicationArguments = Arrays.copyOfRange(array, firstApplicationArgument, array.length);
    }

    static LaunchArguments parse(String[] array, boolean isService) throws LaunchFailure {
        if (array == null || array.length < LEADING_ELEMENTS) {
            throw new LaunchFailure("the launcher passed " + (array == null ? 0 : array.length)
                    + " arguments; at least " + LEADING_ELEMENTS
                    + " are needed (windowed, main class, error file, output file, append)");
        }
        for (int i = 0; i < array.length; i++) {
            if (array[i] == null) {
                throw new LaunchFailure("the launcher passed no text as argument " + i);
            }
        }
        if (array[1].isEmpty()) {
            throw new LaunchFailure("no main class is configured");
        }
        if (isService && array.length > LEADING_ELEMENTS) {
            return new LaunchArguments(array, array[LEADING_ELEMENTS], LEADING_ELEMENTS + 1);
        }
        return new LaunchArguments(array, null, LEADING_ELEMENTS);
    }
}
