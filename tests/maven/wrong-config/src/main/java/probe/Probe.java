package probe;

public final class Probe {
  public static void main(String[] args) {}
}
