package e2eapp;

/** An application whose main throws. */
public final class Failing {
    public static void main(String[] args) {
        throw new IllegalStateException("failing on purpose");
    }
}
