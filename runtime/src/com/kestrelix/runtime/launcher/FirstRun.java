package com.kestrelix.runtime.launcher;

import java.io.File;

/**
 * The first-run hook of the installer flavour. The native launcher calls
 * {@link #firstRun} before the application only while the marker file
 * {@code <application directory>\.kestrelix\firstrun} exists.
 *
 * <p>The first run needs no preparation here, so the hook only marks the
 * first run as done: it deletes the marker that the system property
 * {@code runvo.firstRunMarker} names (a VM option; without it nothing is
 * deleted and the hook is called again at the next start), and always lets
 * the launch go on.
 */
public final class FirstRun {

    private static final String MARKER_PROPERTY = "runvo.firstRunMarker";

    private FirstRun() {
    }

    /** @return true: the launch goes on. */
    public static boolean firstRun() {
        final String marker = System.getProperty(MARKER_PROPERTY);
        if (marker == null || marker.isEmpty()) {
            return true;
        }
        final File file = new File(marker).getAbsoluteFile();
        if (file.exists() && !file.delete()) {
            // The hook runs again next time; that costs nothing, so the launch still goes on.
            System.err.println("runvo: cannot delete the first-run marker " + file);
        }
        return true;
    }
}
