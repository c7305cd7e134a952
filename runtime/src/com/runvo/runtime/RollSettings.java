package com.runvo.runtime;

/**
 * How the [output] files roll over, as the native side passes it in system
 * properties (set only for the fields the configuration holds). Values that
 * cannot be used keep the defaults, as the service log's settings do.
 */
final class RollSettings {

    private static final String ROLL_BYTES_PROPERTY = "runvo.outputRollBytes";
    private static final String ROLL_DAILY_PROPERTY = "runvo.outputRollDaily";
    private static final String KEPT_FILES_PROPERTY = "runvo.outputKeptFiles";
    private static final String KEPT_DAYS_PROPERTY = "runvo.outputKeptDays";

    private static final RollSettings DEFAULTS = new RollSettings(0, false, 5, 0);

    /** The size at which a file rolls over; 0: never by size. */
    final long rollBytes;
    /** Also rolls with the first line of a later day. */
    final boolean daily;
    /** Rolled files kept, the newest; 0: none. */
    final int keptFiles;
    /** Rolled files older than this many days go; 0: no age limit. */
    final int keptDays;

    RollSettings(long rollBytes, boolean daily, int keptFiles, int keptDays) {
        this.rollBytes = rollBytes;
        this.daily = daily;
        this.keptFiles = keptFiles;
        this.keptDays = keptDays;
    }

    boolean rolls() {
        return rollBytes > 0 || daily;
    }

    static RollSettings fromSystemProperties() {
        return new RollSettings(
                number(ROLL_BYTES_PROPERTY, 1, DEFAULTS.rollBytes),
                "true".equals(System.getProperty(ROLL_DAILY_PROPERTY)),
                (int) number(KEPT_FILES_PROPERTY, 0, DEFAULTS.keptFiles),
                (int) number(KEPT_DAYS_PROPERTY, 1, DEFAULTS.keptDays));
    }

    private static long number(String property, long least, long fallback) {
        final String text = System.getProperty(property);
        if (text == null) {
            return fallback;
        }
        try {
            final long value = Long.parseLong(text.trim());
            return value >= least && value <= Integer.MAX_VALUE ? value : fallback;
        } catch (NumberFormatException e) {
            return fallback;
        }
    }
}
