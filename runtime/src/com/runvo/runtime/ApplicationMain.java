package com.runvo.runtime;

import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import java.lang.reflect.Modifier;

/** The application's own main method, found the way the java command finds it. */
final class ApplicationMain {

    private final String className;
    private final Method main;

    private ApplicationMain(String className, Method main) {
        this.className = className;
        this.main = main;
    }

    static ApplicationMain find(String className) throws LaunchFailure {
        final Class<?> mainClass = load(className);
        final Method main;
        try {
            main = mainClass.getMethod("main", String[].class);
        } catch (NoSuchMethodException e) {
            throw noMain(className);
        }
        if (!Modifier.isStatic(main.getModifiers()) || main.getReturnType() != void.class) {
            throw noMain(className);
        }
        try {
            // A public main of a class that is not public: the java command runs it, so do we.
            main.setAccessible(true);
        } catch (RuntimeException refused) {
            // Left as it is; invoke reports what the VM refuses.
        }
        return new ApplicationMain(className, main);
    }

    /** Runs main; what main throws leaves here unwrapped, as if main had been called directly. */
    void run(String[] arguments) throws Throwable {
        try {
            main.invoke(null, (Object) arguments);
        } catch (InvocationTargetException e) {
            throw e.getCause();
        } catch (IllegalAccessException e) {
            throw new IllegalStateException("runvo: cannot call main of " + className, e);
        }
    }

    private static Class<?> load(String className) throws LaunchFailure {
        ClassLoader loader = Thread.currentThread().getContextClassLoader();
        if (loader == null) {
            loader = ClassLoader.getSystemClassLoader();
        }
        try {
            return Class.forName(className, false, loader);
        } catch (ClassNotFoundException e) {
            throw new LaunchFailure("main class " + className + " not found");
        }
    }

    private static LaunchFailure noMain(String className) {
        return new LaunchFailure(className + " has no public static void main(String[])");
    }
}
