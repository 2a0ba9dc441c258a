import com.zo.pkcs11.Pkcs11Impl;

/**
 * Loads a module through the bridge and ends the process without cFinalize.
 * Arguments: mode ("return" from main, "exit" through System.exit, "reload":
 * cFinalize and initialize once more first), module path. Exit code 3 or 4
 * when the module could not be loaded.
 */
public final class ExitProbe {
    public static void main(String[] args) {
        Pkcs11Impl p = new Pkcs11Impl();
        if (p.initialize(args[1]) != 0) System.exit(3);
        if (args[0].equals("reload") && (p.cFinalize() != 0 || p.initialize(args[1]) != 0)) System.exit(4);
        if (args[0].equals("exit")) System.exit(0);
    }
}
