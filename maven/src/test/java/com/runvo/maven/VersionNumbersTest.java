package com.runvo.maven;

import static org.junit.Assert.assertEquals;

import org.junit.Test;

public class VersionNumbersTest {
  @Test
  public void mavenVersionsBecomeFourNumbers() {
    String[][] cases = {
        {"1.4.2-SNAPSHOT", "1.4.2.0"}, {"2", "2.0.0.0"}, {"1.2.3.4.5", "1.2.3.4"}, {"3.0.0.Final", "3.0.0.0"},
        {"007.1", "7.1.0.0"}, {"65535.0", "65535.0.0.0"}, {"65536.0", null}, {"1.99999999999", null},
        {"SNAPSHOT", null}, {"", null},
    };
    for (String[] c : cases) assertEquals(c[0], c[1], VersionNumbers.fourNumbers(c[0]));
  }
}
