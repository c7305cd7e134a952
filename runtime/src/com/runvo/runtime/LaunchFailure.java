package com.runvo.runtime;

/** A launch that cannot go on; the message is shown after "runvo: ". */
final class LaunchFailure extends Exception {

    private static final long serialVersionUID = 1L;

    LaunchFailure(String message) {
        super(message);
    }
}
