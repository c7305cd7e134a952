package e2ejetty;

import java.io.IOException;
import java.io.PrintWriter;
import javax.servlet.http.HttpServletRequest;
import javax.servlet.http.HttpServletResponse;
import org.eclipse.jetty.server.Request;
import org.eclipse.jetty.server.Server;
import org.eclipse.jetty.server.ServerConnector;
import org.eclipse.jetty.server.handler.AbstractHandler;
import org.eclipse.jetty.server.handler.StatisticsHandler;

/**
 * The web server of the end-to-end tests: embedded Jetty on 127.0.0.1 at the
 * port given as the first argument, listening after the seconds given as the
 * optional second one, as a server that loads a while before it serves.
 * GET / answers at once; GET /slow answers in two halves two seconds apart,
 * so that a stop can arrive while it is in flight; GET /freeze makes every
 * later request hang, as a server whose threads are stuck, while the process
 * lives on. The stop line's System.exit runs the shutdown hook, which stops
 * the server gracefully: no new connections, the requests in flight finish
 * (up to the stop timeout), then the server ends.
 */
public final class WebServer {

    private static final long STOP_TIMEOUT_MILLISECONDS = 15_000;
    private static final long SLOW_ANSWER_MILLISECONDS = 2_000;

    private static volatile boolean frozen;

    public static void main(String[] args) throws Exception {
        final int port = Integer.parseInt(args[0]);
        if (args.length > 1) {
            System.out.println("loading for " + args[1] + " s");
            pause(Long.parseLong(args[1]) * 1000);
        }
        final Server server = new Server();
        final ServerConnector connector = new ServerConnector(server);
        connector.setHost("127.0.0.1");
        connector.setPort(port);
        server.addConnector(connector);
        // Counts the requests in flight, which is what a graceful stop waits for.
        final StatisticsHandler statistics = new StatisticsHandler();
        statistics.setHandler(new Answers());
        server.setHandler(statistics);
        server.setStopTimeout(STOP_TIMEOUT_MILLISECONDS);
        Runtime.getRuntime().addShutdownHook(new Thread(() -> stop(server, statistics), "web server stop"));
        server.start();
        System.out.println("extraction folder " + System.getProperty("runvo.tempDir"));
        System.out.println("listening on 127.0.0.1:" + port);
    }

    private static void stop(Server server, StatisticsHandler statistics) {
        System.out.println("stopping with " + statistics.getRequestsActive() + " requests in flight");
        try {
            server.stop();
        } catch (Exception e) {
            e.printStackTrace();
        }
        System.out.println("stopped after " + statistics.getRequests() + " requests");
    }

    private static final class Answers extends AbstractHandler {
        @Override
        public void handle(String target, Request baseRequest, HttpServletRequest request,
                HttpServletResponse response) throws IOException {
            baseRequest.setHandled(true);
            response.setContentType("text/plain; charset=utf-8");
            final PrintWriter body = response.getWriter();
            if (frozen) {
                System.out.println("a request hangs");
                pause(Long.MAX_VALUE);
            }
            switch (target) {
                case "/":
                    body.println("hello from the web server");
                    break;
                case "/slow":
                    System.out.println("slow request begins");
                    body.println("slow answer, first half");
                    response.flushBuffer();
                    pause(SLOW_ANSWER_MILLISECONDS);
                    body.println("slow answer, second half");
                    break;
                case "/freeze":
                    System.out.println("freezing");
                    frozen = true;
                    body.println("frozen");
                    break;
                default:
                    response.sendError(HttpServletResponse.SC_NOT_FOUND);
                    return;
            }
            // Complete before the handler returns: a graceful stop waits for the
            // handlers in flight, not for what Jetty writes after them (the last
            // chunk), and would otherwise close the connection under it.
            baseRequest.getResponse().closeOutput();
        }
    }

    private static void pause(long milliseconds) throws IOException {
        try {
            Thread.sleep(milliseconds);
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
            throw new IOException("interrupted while answering", e);
        }
    }
}
