// What jni_probe.exe calls through the jvm.dll bridge: methods of every
// parameter kind whose results show what arrived.
public class JniProbe {
    private final String name;

    public JniProbe(String name, int number) {
        this.name = name + number;
    }

    public static String describe(boolean z, byte b, char c, short s, int i, long j, float f, double d, String text) {
        return z + " " + b + " " + c + " " + s + " " + i + " " + j + " " + f + " " + d + " " + text;
    }

    public static long sum(int a, long b, short c) {
        return a + b + c;
    }

    public static double scaled(float f, double d) {
        return f * d;
    }

    public static boolean isEmpty(String text) {
        return text.isEmpty();
    }

    public static String property(String key) {
        return String.valueOf(System.getProperty(key));
    }

    public static String echo(String text) {
        return text;
    }

    public static void fail(String message) {
        throw new IllegalStateException(message);
    }

    public String name() {
        return name;
    }

    public int length(String suffix) {
        return (name + suffix).length();
    }
}
