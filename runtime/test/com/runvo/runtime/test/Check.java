package com.runvo.runtime.test;

import java.util.Objects;

/** Assertions that say what was compared and show both sides. */
public final class Check {

    private Check() {
    }

    public static void equal(Object expected, Object actual, String what) {
        if (!Objects.equals(expected, actual)) {
            throw new AssertionError(what + ": expected " + shown(expected) + ", got " + shown(actual));
        }
    }

    public static void contains(String text, String part, String what) {
        if (text == null || !text.contains(part)) {
            throw new AssertionError(what + ": expected it to contain " + shown(part) + ", got " + shown(text));
        }
    }

    public static void once(String text, String part, String what) {
        final int first = text == null ? -1 : text.indexOf(part);
        if (first < 0 || text.indexOf(part, first + 1) >= 0) {
            throw new AssertionError(what + ": expected " + shown(part) + " exactly once, got " + shown(text));
        }
    }

    public static void lacks(String text, String part, String what) {
        if (text != null && text.contains(part)) {
            throw new AssertionError(what + ": expected no " + shown(part) + ", got " + shown(text));
        }
    }

    public static void isTrue(boolean condition, String what) {
        if (!condition) {
            throw new AssertionError(what);
        }
    }

    private static String shown(Object value) {
        if (!(value instanceof String text)) {
            return String.valueOf(value);
        }
        return "\"" + text.replace("\\", "\\\\").replace("\r", "\\r").replace("\n", "\\n") + "\"";
    }
}
