import com.zo.pkcs11.Pkcs11Impl;

/**
 * Loads a module through the bridge and ends the process without cFinalize.
 * Arguments: mode ("return" from main, "exit" through System.exit, "reload":
 * cFinalize and initialize once more first, "again": initialize twice more,
 * "busy": a daemon thread stays inside the module while main returns),
 * module path. Exit code 3 or 4 when the module could not be loaded.
 */
public final class ExitProbe {
    public static void main(String[] args) throws Exception {
        Pkcs11Impl p = new Pkcs11Impl();
        if (p.initialize(args[1]) != 0) System.exit(3);
        if (args[0].equals("reload") && (p.cFinalize() != 0 || p.initialize(args[1]) != 0)) System.exit(4);
        if (args[0].equals("again")) {
            p.initialize(args[1]);
            p.initialize(args[1]);
        }
        if (args[0].equals("busy")) {
            Thread inside = new Thread(() -> p.logout(0xB10C));  // never returns
            inside.setDaemon(true);
            inside.start();
            // The module notes in its log when the thread is inside.
            java.nio.file.Path log = java.nio.file.Path.of(System.getenv("ORN_P11TEST_LOG"));
            for (int i = 0; i < 1000 && !java.nio.file.Files.readAllLines(log).contains("C_Logout holding"); i++) {
                Thread.sleep(10);
            }
        }
        if (args[0].equals("exit")) System.exit(0);
    }
}
