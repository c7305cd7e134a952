package testapp;

// Main classes whose main the java command refuses, and two it accepts only
// with some care: a class that is not public, and one that fails to initialise.

class NoMain {
}

class InstanceMain {
    public void main(String[] args) {
        System.out.println("instance main ran");
    }
}

class IntMain {
    public static int main(String[] args) {
        System.out.println("int main ran");
        return 0;
    }
}

class PrivateMain {
    private static void main(String[] args) {
        System.out.println("private main ran");
    }
}

class ObjectArrayMain {
    public static void main(Object[] args) {
        System.out.println("object array main ran");
    }
}

/** Not public itself, with a public main: the java command runs it. */
class PackagePrivateClass {
    public static void main(String[] args) {
        System.out.println("package-private class ran");
    }
}

class BrokenInitializer {
    static {
        if (Boolean.TRUE) {
            throw new IllegalStateException("initializer failure");
        }
    }

    public static void main(String[] args) {
        System.out.println("unreachable");
    }
}
