package com.runvo.maven;

/** A Maven version as the four numbers of a Windows version resource. */
final class VersionNumbers {
  private static final int LARGEST = 65535;

  private VersionNumbers() {}

  /**
   * "1.4.2-SNAPSHOT" gives "1.4.2.0": the leading numbers, up to four, padded
   * with zeros; null when the version does not start with a number or a
   * number does not fit.
   */
  static String fourNumbers(String version) {
    String[] parts = version.split("[^0-9.]", 2)[0].split("\\.");
    StringBuilder numbers = new StringBuilder();
    int count = 0;
    for (String part : parts) {
      if (count == 4 || part.isEmpty()) break;
      if (part.length() > 5 || Integer.parseInt(part) > LARGEST) return null;
      numbers.append(count == 0 ? "" : ".").append(Integer.parseInt(part));
      count++;
    }
    if (count == 0) return null;
    for (; count < 4; count++) numbers.append(".0");
    return numbers.toString();
  }
}
