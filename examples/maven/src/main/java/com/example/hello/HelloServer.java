package com.example.hello;

import com.sun.net.httpserver.HttpServer;
import java.io.IOException;
import java.io.OutputStream;
import java.net.InetSocketAddress;
import java.nio.charset.StandardCharsets;
import org.apache.commons.lang3.StringUtils;

/** A small web server: answers every request with a greeting until the service stops. */
public final class HelloServer {
  public static void main(String[] args) throws IOException {
    int port = args.length == 2 && args[0].equals("--port") ? Integer.parseInt(args[1]) : 8080;
    HttpServer server = HttpServer.create(new InetSocketAddress("127.0.0.1", port), 0);
    server.createContext("/", exchange -> {
      String name = StringUtils.defaultIfBlank(exchange.getRequestURI().getQuery(), "world");
      byte[] body = ("Hello, " + StringUtils.capitalize(name) + "!\n").getBytes(StandardCharsets.UTF_8);
      exchange.sendResponseHeaders(200, body.length);
      try (OutputStream out = exchange.getResponseBody()) {
        out.write(body);
      }
    });
    // The service's stop ends the JVM through System.exit; the hook lets requests in flight finish.
    Runtime.getRuntime().addShutdownHook(new Thread(() -> {
      server.stop(2);
      System.out.println("HelloServer stopped");
    }));
    server.start();
    System.out.println("HelloServer listening on http://127.0.0.1:" + server.getAddress().getPort() + "/");
  }
}
