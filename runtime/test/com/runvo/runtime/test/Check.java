package com.runvo.runtime.test;

import java.util.Objects;

/** Assertions that say what was compared and show both sides. */
final class Check {

    private Check() {
    }

    static void equal(Object expected, Object actual, String what) {
        if (!Objects.equals(expected, actual)) {
            throw new AssertionError(what + ": expected " + shown(expected) + ", got " + shown(actual));
        }
    }

    static void contains(String text, String part, String what) {
        if (text == null || !text.contains(part)) {
            throw new AssertionError(what + ": expected it to contain " + shown(part) + ", got " + shown(text));
        }
    }

    static void lacks(String text, String part, String what) {
        if (text != null && text.contains(part)) {
            throw new AssertionError(what + ": expected no " + shown(part) + ", got " + shown(text));
        }
    }

    static void isTrue(boolean condition, String what) {
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
