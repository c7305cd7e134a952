package com.kestrelix.runtime.launcher;

import com.runvo.runtime.ApplicationLauncher;

/**
 * The runtime launcher class of the installer (kestrelix) flavour. It takes
 * the same argument array and follows the same rules as
 * {@link com.runvo.runtime.WinLauncher}.
 */
public final class WinLauncher {

    private WinLauncher() {
    }

    public static void main(String[] args) throws Throwable {
        ApplicationLauncher.launch(args);
    }
}
