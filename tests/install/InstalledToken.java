import com.zo.pkcs11.Pkcs11Impl;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Paths;
import java.security.MessageDigest;
import java.util.Arrays;

/**
 * A Java application on the installed kit: logs in to a token through
 * Pkcs11Impl and has it digest a text, then names the jar and the native
 * library it ran with.
 * Usage: InstalledToken MODULE PIN
 */
public class InstalledToken {
    static final int CKF_SERIAL_SESSION = 4;
    static final int CKU_USER = 1;
    static final int CKM_SHA256 = 0x250;

    static void check(String what, int rv) {
        if (rv != 0) {
            System.out.println(what + " failed: 0x" + Integer.toHexString(rv));
            System.exit(1);
        }
    }

    public static void main(String[] args) throws Exception {
        byte[] pin = args[1].getBytes(StandardCharsets.US_ASCII);
        Pkcs11Impl p = new Pkcs11Impl();
        check("initialize", p.initialize(args[0]));
        int[] count = new int[1];
        check("getSlotList", p.getSlotList(true, null, count));
        int[] slots = new int[count[0]];
        check("getSlotList", p.getSlotList(true, slots, count));
        if (count[0] < 1) check("a slot with a token", -1);
        int[] session = new int[1];
        check("openSession", p.openSession(slots[0], CKF_SERIAL_SESSION, session));
        check("login", p.login(session[0], CKU_USER, pin, pin.length));

        byte[] text = "ORN desk kit".getBytes(StandardCharsets.US_ASCII);
        byte[] out = new byte[32];
        int[] outLen = {out.length};
        check("digestInit", p.digestInit(session[0], CKM_SHA256, null, 0));
        check("digest", p.digest(session[0], text, 0, text.length, out, 0, outLen));
        byte[] expected = MessageDigest.getInstance("SHA-256").digest(text);
        if (!Arrays.equals(Arrays.copyOf(out, outLen[0]), expected)) check("digest value", -1);

        check("logout", p.logout(session[0]));
        check("closeSession", p.closeSession(session[0]));
        check("cFinalize", p.cFinalize());
        System.out.println("digest: ok");
        System.out.println("jar: " + Paths.get(Pkcs11Impl.class.getProtectionDomain().getCodeSource().getLocation().toURI()));
        for (String line : Files.readAllLines(Paths.get("/proc/self/maps"))) {
            if (line.endsWith("/libBrennix.so")) {
                System.out.println("library: " + line.substring(line.indexOf('/')));
                break;
            }
        }
    }
}
