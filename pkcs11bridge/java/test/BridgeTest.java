import com.zo.pkcs11.Pkcs11Impl;

import java.io.File;
import java.io.InputStream;
import java.nio.ByteBuffer;
import java.nio.ByteOrder;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.math.BigInteger;
import java.security.KeyPair;
import java.security.KeyPairGenerator;
import java.security.MessageDigest;
import java.security.Signature;
import java.security.interfaces.RSAPrivateCrtKey;
import java.security.spec.MGF1ParameterSpec;
import java.security.spec.PSSParameterSpec;
import java.util.Arrays;
import java.util.List;
import java.util.function.IntSupplier;
import javax.crypto.Cipher;
import javax.crypto.Mac;
import javax.crypto.spec.IvParameterSpec;
import javax.crypto.spec.SecretKeySpec;

/**
 * Drives the bridge from Java against SoftHSM2 and the project's test
 * modules. Prints one line per failed check and, at the end,
 * "N passed, N failed"; exits 1 when any check failed.
 *
 * Arguments: SoftHSM2 module, test-module directory, user PIN, token label,
 * trace file (the debugger output and the test module's log).
 */
public final class BridgeTest {
    // PKCS#11 values used here.
    static final int CKR_OK = 0, CKR_HOST_MEMORY = 0x2, CKR_GENERAL_ERROR = 0x5, CKR_NO_EVENT = 0x8;
    static final int CKR_ARGUMENTS_BAD = 0x7, CKR_ATTRIBUTE_SENSITIVE = 0x11, CKR_DEVICE_ERROR = 0x30;
    static final int CKR_FUNCTION_NOT_SUPPORTED = 0x54, CKR_OBJECT_HANDLE_INVALID = 0x82;
    static final int CKR_SESSION_HANDLE_INVALID = 0xB3, CKR_SIGNATURE_INVALID = 0xC0;
    static final int CKR_TOKEN_NOT_PRESENT = 0xE0, CKR_USER_ALREADY_LOGGED_IN = 0x100;
    static final int CKR_BUFFER_TOO_SMALL = 0x150, CKR_CRYPTOKI_ALREADY_INITIALIZED = 0x191;
    static final int CKF_RW_SESSION = 2, CKF_SERIAL_SESSION = 4, CKF_SIGN = 0x800, CKU_USER = 1;
    static final int CKS_RW_PUBLIC_SESSION = 2, CKS_RW_USER_FUNCTIONS = 3;
    static final int CKA_CLASS = 0, CKA_TOKEN = 1, CKA_LABEL = 3, CKA_VALUE = 0x11, CKA_ID = 0x102;
    static final int CKA_KEY_TYPE = 0x100, CKA_SENSITIVE = 0x103, CKA_ENCRYPT = 0x104;
    static final int CKA_DECRYPT = 0x105, CKA_SIGN = 0x108, CKA_VERIFY = 0x10A, CKA_EXTRACTABLE = 0x162;
    static final int CKA_VALUE_LEN = 0x161;
    static final int CKO_SECRET_KEY = 4, CKK_GENERIC_SECRET = 0x10, CKK_AES = 0x1F;
    static final int CKM_SHA256 = 0x250, CKM_SHA256_HMAC = 0x251, CKM_AES_ECB = 0x1081, CKM_AES_CBC = 0x1082;
    static final int CKR_MECHANISM_INVALID = 0x70, CKO_PUBLIC_KEY = 2, CKO_PRIVATE_KEY = 3, CKK_RSA = 0;
    static final int CKA_PRIVATE = 2, CKA_MODULUS = 0x120, CKA_PUBLIC_EXPONENT = 0x122;
    static final int CKA_ALLOWED_MECHANISMS = 0x40000600;
    static final int CKM_RSA_PKCS_PSS = 0xD, CKM_SHA1_RSA_PKCS_PSS = 0xE, CKM_SHA256_RSA_PKCS = 0x40;
    static final int CKM_SHA256_RSA_PKCS_PSS = 0x43, CKM_SHA384_RSA_PKCS_PSS = 0x44, CKM_SHA512_RSA_PKCS_PSS = 0x45;
    static final int CKM_SHA_1 = 0x220, CKM_SHA384 = 0x260, CKM_SHA512 = 0x270, CKM_AES_CTR = 0x1086;
    static final int CKG_MGF1_SHA1 = 1, CKG_MGF1_SHA256 = 2, CKG_MGF1_SHA384 = 3, CKG_MGF1_SHA512 = 4;

    static final int MISSING = Pkcs11Impl.CKR_BRIDGE_MODULE_MISSING;
    static final int BAD = Pkcs11Impl.CKR_BRIDGE_BAD_ARGUMENT;

    static final Pkcs11Impl p = new Pkcs11Impl();
    static int passed, failed;
    static String current = "";

    static String softhsm, moduleDir, pin, label;
    static File trace;

    interface Body { void run() throws Exception; }

    static void test(String name, Body body) {
        current = name;
        try {
            body.run();
        } catch (Throwable t) {
            fail("threw " + t);
        }
    }

    static void fail(String what) {
        failed++;
        System.out.println("FAILED " + current + ": " + what);
    }

    static void ok(String what, boolean condition) {
        if (condition) passed++; else fail(what);
    }

    static void eq(String what, long expected, long actual) {
        ok(what + " (expected 0x" + Long.toHexString(expected) + ", got 0x" + Long.toHexString(actual) + ")",
           expected == actual);
    }

    static void eq(String what, String expected, String actual) {
        ok(what + " (expected \"" + expected + "\", got \"" + actual + "\")", expected.equals(actual));
    }

    static void same(String what, int[] expected, int[] actual) {
        ok(what + " (expected " + Arrays.toString(expected) + ", got " + Arrays.toString(actual) + ")",
           Arrays.equals(expected, actual));
    }

    static void same(String what, byte[] expected, byte[] actual) {
        ok(what + " (expected " + Arrays.toString(expected) + ", got " + Arrays.toString(actual) + ")",
           Arrays.equals(expected, actual));
    }

    static String module(String name) { return new File(moduleDir, "lib" + name + ".so").getPath(); }

    /** A CK_ULONG attribute value as the Java side carries it: 4 bytes, native order. */
    static byte[] ulong(int v) {
        return ByteBuffer.allocate(Integer.BYTES).order(ByteOrder.nativeOrder()).putInt(v).array();
    }

    static int ulongOf(byte[] b) { return ByteBuffer.wrap(b).order(ByteOrder.nativeOrder()).getInt(); }

    /** CK_ULONG values (a mechanism parameter's, an array attribute's) as the Java side packs them. */
    static byte[] ulongs(int... values) {
        ByteBuffer b = ByteBuffer.allocate(values.length * Integer.BYTES).order(ByteOrder.nativeOrder());
        for (int v : values) b.putInt(v);
        return b.array();
    }

    static int[] ulongsOf(byte[] b, int length) {
        int[] out = new int[length / Integer.BYTES];
        ByteBuffer.wrap(b).order(ByteOrder.nativeOrder()).asIntBuffer().get(out);
        return out;
    }

    /** The module's own CK_ULONG (8 bytes on this platform), which passes through unchanged. */
    static byte[] nativeUlong(long v) {
        return ByteBuffer.allocate(Long.BYTES).order(ByteOrder.nativeOrder()).putLong(v).array();
    }

    static byte[] bool(boolean v) { return new byte[] {(byte) (v ? 1 : 0)}; }

    static byte[] text(String s) { return s.getBytes(StandardCharsets.UTF_8); }

    static Object[] template(int[] types, Object[] values) { return new Object[] {types, values}; }

    static String pad(String s, int width) { return s + " ".repeat(width - s.length()); }

    /** The test module's call count (waitForSlotEvent reports it). */
    static int calls() {
        int[] n = {-1};
        int rc = p.waitForSlotEvent(0, n);
        return rc == CKR_OK ? n[0] : -1;
    }

    /** A call the bridge must refuse with BAD without reaching the module. */
    static void refused(String what, IntSupplier call) {
        int before = calls();
        int rc = call.getAsInt();
        int after = calls();
        eq(what + ": code", BAD, rc);
        eq(what + ": module not called", before + 1, after);
    }

    public static void main(String[] args) throws Exception {
        softhsm = args[0];
        moduleDir = args[1];
        pin = args[2];
        label = args[3];
        trace = new File(args[4]);

        test("nothing loaded", BridgeTest::nothingLoaded);
        test("failed first initialize", BridgeTest::failedFirstInitialize);
        test("locking", BridgeTest::locking);
        test("test module", BridgeTest::testModule);
        test("failed second initialize", BridgeTest::failedSecondInitialize);
        test("finalize", BridgeTest::finalizeAlwaysUnloads);
        test("process end", BridgeTest::processEnd);
        test("softhsm", BridgeTest::softhsm);
        test("softhsm threads", BridgeTest::softhsmThreads);

        System.out.println(passed + " passed, " + failed + " failed");
        System.exit(failed == 0 ? 0 : 1);
    }

    static void nothingLoaded() {
        eq("getInfo", MISSING, p.getInfo(new String[5]));
        eq("getSlotList", MISSING, p.getSlotList(true, null, new int[1]));
        eq("encrypt", MISSING, p.encrypt(1, new byte[4], 0, 4, new byte[4], 0, new int[] {4}));
        eq("cFinalize", MISSING, p.cFinalize());
        eq("reset", MISSING, p.reset(0));
        eq("cardTransmit", MISSING, p.cardTransmit(0, new byte[2], 2, new byte[8], new int[] {8}));
        eq("register", MISSING, p.register(1, 2, new byte[2], new byte[2], 2));
    }

    static void failedFirstInitialize() {
        eq("null path", BAD, p.initialize(null));
        eq("no such file", MISSING, p.initialize("/nonexistent/libnothing.so"));
        eq("empty path", MISSING, p.initialize(""));
        eq("no C_GetFunctionList", MISSING, p.initialize(module("ornp11nolist")));
        // The list pointer written before the failing code must not be kept.
        eq("C_GetFunctionList fails", CKR_HOST_MEMORY, p.initialize(module("ornp11test_listfails")));
        eq("then nothing loaded", MISSING, p.getInfo(new String[5]));
        eq("C_Initialize fails", CKR_GENERAL_ERROR, p.initialize(module("ornp11test_initfails")));
        eq("then nothing loaded", MISSING, p.waitForSlotEvent(0, new int[1]));
        eq("then nothing to reset", MISSING, p.reset(1));
    }

    /** The module is asked for its own OS locking; one that cannot lock is initialised without arguments. */
    static void locking() throws Exception {
        int before = Files.readAllLines(trace.toPath()).size();
        eq("module that cannot lock", CKR_OK, p.initialize(module("ornp11test_cantlock")));
        List<String> lines = Files.readAllLines(trace.toPath());
        ok("asked for OS locking, then without arguments, got " + lines.subList(before, lines.size()),
           lines.subList(before, lines.size()).equals(List.of("C_Initialize OS locking", "C_Initialize")));
        eq("cFinalize", CKR_OK, p.cFinalize());
        eq("initialize", CKR_OK, p.initialize(module("ornp11test")));
        lines = Files.readAllLines(trace.toPath());
        eq("a module that can lock is asked once", "C_Initialize OS locking", lines.get(lines.size() - 1));
        eq("cFinalize", CKR_OK, p.cFinalize());
    }

    static void testModule() throws Exception {
        eq("initialize", CKR_OK, p.initialize(module("ornp11test")));
        eq("initialize again", CKR_CRYPTOKI_ALREADY_INITIALIZED, p.initialize(module("ornp11test")));
        ok("counter answers", calls() > 0);

        shapeRefusals();

        int before = calls();
        eq("accepted call", CKR_OK, p.encrypt(1, new byte[4], 0, 4, new byte[4], 0, new int[] {4}));
        eq("accepted call reaches the module", before + 2, calls());

        // Handles are zero-extended and narrowed back; -1 stands for unavailable.
        int[] info = {7, 7, 7, 7};
        eq("getSessionInfo", CKR_OK, p.getSessionInfo(0x80000001, info));
        same("session info", new int[] {0x80000001, 0, CKF_SERIAL_SESSION, -1}, info);
        info = new int[] {7, 7, 7, 7};
        eq("failing getSessionInfo", CKR_SESSION_HANDLE_INVALID, p.getSessionInfo(0, info));
        same("written back anyway", new int[] {0, 0, CKF_SERIAL_SESSION, -1}, info);

        String[] token = new String[18];
        Arrays.fill(token, "keep");
        eq("failing getTokenInfo", CKR_TOKEN_NOT_PRESENT, p.getTokenInfo(1, token));
        ok("token info left as it was", Arrays.stream(token).allMatch("keep"::equals));

        eq("function missing from the list", MISSING, p.digestKey(1, 1));

        // 32 attributes with vendor-defined types (high bit set).
        int[] types = new int[32];
        Object[] values = new Object[32];
        int lengths = 0;
        for (int i = 0; i < 32; i++) {
            types[i] = 0x80000000 | i;
            values[i] = i == 5 ? null : new byte[i % 4];
            lengths += i == 5 ? 0 : i % 4;
        }
        int[] object = {0};
        eq("createObject with 32 attributes", CKR_OK, p.createObject(1, template(types, values), 32, object));
        eq("all 32 arrived", 32 * 1000 + lengths, object[0]);

        // A 4-byte CK_ULONG value reaches the module as its own CK_ULONG;
        // other lengths pass through as they are.
        Object[] classes = {ulong(CKO_SECRET_KEY), text("abc")};
        eq("4-byte class", CKR_OK, p.createObject(1, template(new int[] {CKA_CLASS, CKA_LABEL}, classes), 2, object));
        eq("widened to 8 bytes", 2000 + 8 + 3, object[0]);
        classes = new Object[] {new byte[2], new byte[4]};
        eq("other lengths", CKR_OK, p.createObject(1, template(new int[] {CKA_CLASS, CKA_LABEL}, classes), 2, object));
        eq("passed through", 2000 + 2 + 4, object[0]);

        attributeReads();
        dataCalls();
        cardExtensions();
    }

    static void shapeRefusals() {
        byte[] four = new byte[4];
        Object[] good = template(new int[] {CKA_LABEL}, new Object[] {text("x")});
        refused("OutCell of length 2", () -> p.openSession(1, 0, new int[2]));
        refused("null OutCell", () -> p.openSession(1, 0, null));
        refused("empty slot cell", () -> p.waitForSlotEvent(0, new int[0]));
        refused("token info of 17", () -> p.getTokenInfo(1, new String[17]));
        refused("info of 6", () -> p.getInfo(new String[6]));
        refused("session info of 3", () -> p.getSessionInfo(1, new int[3]));
        refused("mechanism info of 4", () -> p.getMechanismInfo(1, 1, new int[4]));
        refused("input past the end", () -> p.encrypt(1, four, 2, 3, new byte[8], 0, new int[] {8}));
        refused("negative input length", () -> p.encrypt(1, four, 0, -1, new byte[8], 0, new int[] {8}));
        refused("negative input offset", () -> p.encrypt(1, four, -1, 1, new byte[8], 0, new int[] {8}));
        refused("null input with a length", () -> p.encrypt(1, null, 0, 3, new byte[8], 0, new int[] {8}));
        refused("output size past the end", () -> p.encrypt(1, four, 0, 4, new byte[4], 1, new int[] {4}));
        refused("negative output size", () -> p.encrypt(1, four, 0, 4, new byte[4], 0, new int[] {-1}));
        refused("negative output offset", () -> p.encrypt(1, four, 0, 4, new byte[4], -1, new int[] {2}));
        refused("outLen of 2", () -> p.encrypt(1, four, 0, 4, new byte[4], 0, new int[2]));
        refused("final output past the end", () -> p.digestFinal(1, new byte[8], 4, new int[] {5}));
        refused("update past the end", () -> p.digestUpdate(1, four, 1, 4));
        refused("verify signature past the end", () -> p.verify(1, four, 0, 4, four, 2, 3));
        refused("PIN longer than its array", () -> p.login(1, CKU_USER, new byte[2], 3));
        refused("new PIN longer than its array", () -> p.setPIN(1, four, 4, new byte[1], 2));
        refused("parameter longer than its array", () -> p.digestInit(1, CKM_SHA256, new byte[1], 2));
        refused("createObject count 0", () -> p.createObject(1, good, 0, new int[1]));
        refused("createObject count 33", () -> p.createObject(1, good, 33, new int[1]));
        refused("count beyond the types", () -> p.createObject(1, good, 2, new int[1]));
        refused("template of 3 for writing", () -> p.createObject(1, new Object[] {new int[1], new Object[1], new int[1]}, 1, new int[1]));
        refused("types not an int[]", () -> p.createObject(1, new Object[] {new byte[1], new Object[] {four}}, 1, new int[1]));
        refused("value not a byte[]", () -> p.createObject(1, template(new int[] {1}, new Object[] {new int[1]}), 1, new int[1]));
        refused("values not an Object[]", () -> p.setAttributeValue(1, 1, new Object[] {new int[1], four}, 1));
        refused("fewer values than count", () -> p.setAttributeValue(1, 1, template(new int[2], new Object[1]), 2));
        refused("null template", () -> p.setAttributeValue(1, 1, null, 1));
        refused("findObjectsInit count -1", () -> p.findObjectsInit(1, good, -1));
        refused("findObjectsInit count 33", () -> p.findObjectsInit(1, good, 33));
        refused("template of 2 for reading", () -> p.getAttributeValue(1, 1, good, 1));
        refused("fewer lengths than count", () -> p.getAttributeValue(1, 1, new Object[] {new int[2], new Object[0], new int[1]}, 2));
        refused("length past its buffer", () -> p.getAttributeValue(1, 1, new Object[] {new int[1], new Object[] {new byte[4]}, new int[] {5}}, 1));
        refused("negative length with a buffer", () -> p.getAttributeValue(1, 1, new Object[] {new int[1], new Object[] {new byte[4]}, new int[] {-1}}, 1));
        refused("capacity beyond the slot array", () -> p.getSlotList(true, new int[1], new int[] {2}));
        refused("capacity beyond the mechanism array", () -> p.getMechanismList(1, new int[0], new int[] {1}));
        refused("maxCount beyond the objects", () -> p.findObjects(1, new int[2], 3, new int[1]));
        refused("maxCount with no objects array", () -> p.findObjects(1, null, 1, new int[1]));
        refused("null responseLen", () -> p.cardTransmit(1, four, 4, new byte[8], null));
        refused("empty responseLen", () -> p.cardTransmit(1, four, 4, new byte[8], new int[0]));
        refused("command length past the array", () -> p.cardTransmit(1, four, 5, new byte[8], new int[] {8}));
        refused("response size past the array", () -> p.cardTransmit(1, four, 4, new byte[8], new int[] {9}));
    }

    static void attributeReads() {
        int[] types = {CKA_LABEL, CKA_ID};
        int[] lengths = {0, 0};
        eq("length query", CKR_OK, p.getAttributeValue(1, 1, new Object[] {types, new Object[0], lengths}, 2));
        same("lengths reported", new int[] {5, 5}, lengths);
        byte[] a = new byte[5], b = new byte[5];
        eq("read", CKR_OK, p.getAttributeValue(1, 1, new Object[] {types, new Object[] {a, b}, lengths}, 2));
        same("first value", text("value"), a);
        same("second value", text("value"), b);

        // A failing read still copies the buffers back but reports no lengths.
        byte[] big = new byte[9];
        lengths = new int[] {5, 9};
        eq("sensitive read", CKR_ATTRIBUTE_SENSITIVE,
           p.getAttributeValue(1, 1, new Object[] {new int[] {CKA_LABEL, CKA_VALUE}, new Object[] {new byte[5], big}, lengths}, 2));
        same("lengths unchanged", new int[] {5, 9}, lengths);
        same("buffer written back", text("value\0\0\0\0"), big);
    }

    static void dataCalls() {
        int[] outLen = {0};
        eq("length query", CKR_OK, p.encrypt(1, new byte[6], 0, 6, null, 0, outLen));
        eq("needed length", 6, outLen[0]);

        byte[] out = new byte[2];
        outLen = new int[] {2};
        eq("too small", CKR_BUFFER_TOO_SMALL, p.encrypt(1, new byte[] {1, 2, 3, 4}, 0, 4, out, 0, outLen));
        same("partial output written back", new byte[] {2, 3}, out);
        eq("needed length written back", 4, outLen[0]);

        // In place, with offsets: the input is never copied over the output.
        byte[] buf = {0, 1, 2, 3, 4, 5, 6, 7};
        eq("in place", CKR_OK, p.encrypt(1, buf, 2, 4, buf, 1, new int[] {7}));
        same("in place result", new byte[] {0, 3, 4, 5, 6, 5, 6, 7}, buf);
    }

    static void cardExtensions() throws Exception {
        eq("reset", 0x1234, p.reset(0x1234));

        byte[] command = {0x00, (byte) 0xA4, 0x04, 0x00, 0x00};
        byte[] response = new byte[16];
        int[] responseLen = {16};
        eq("cardTransmit", CKR_OK, p.cardTransmit(7, command, 5, response, responseLen));
        eq("response length", 7, responseLen[0]);
        same("response", new byte[] {0x00, (byte) 0xA4, 0x04, 0x00, 0x00, (byte) 0x90, 0x00},
             Arrays.copyOf(response, 7));
        List<String> lines = Files.readAllLines(trace.toPath());
        ok("reset traced", lines.contains("Call Java_com_zo_pkcs11_Pkcs11Impl_reset"));
        int at = lines.lastIndexOf("Call Java_com_zo_pkcs11_Pkcs11Impl_cardTransmit");
        ok("trace written", at >= 0 && at + 3 < lines.size());
        if (at >= 0 && at + 3 < lines.size()) {
            eq("trace 1", "dIn.length() is 5", lines.get(at + 1));
            eq("trace 2", "Call C_CardTransmit", lines.get(at + 2));
            eq("then the module", "C_CardTransmit", lines.get(at + 3));
        }

        responseLen = new int[] {4};
        eq("short command, small response", CKR_BUFFER_TOO_SMALL, p.cardTransmit(7, command, 3, new byte[4], responseLen));
        eq("needed length", 5, responseLen[0]);

        byte[] in = {1, 2, 3};
        byte[] out = new byte[3];
        eq("register", 12, p.register(5, 7, in, out, 3));
        same("register output", new byte[] {1 ^ 0x5A, 2 ^ 0x5A, 3 ^ 0x5A}, out);
        same("register input untouched", new byte[] {1, 2, 3}, in);
        eq("register in place", 12 | 0x40000000, p.register(5, 7, in, in, 3));
        same("register in place output", new byte[] {1 ^ 0x5A, 2 ^ 0x5A, 3 ^ 0x5A}, in);
    }

    static void failedSecondInitialize() {
        // The test module stays the loaded one after every failed initialize.
        eq("no such file", MISSING, p.initialize("/nonexistent/libnothing.so"));
        ok("old list kept", calls() > 0);
        eq("no C_GetFunctionList", MISSING, p.initialize(module("ornp11nolist")));
        eq("old handle kept", 3, p.reset(3));
        eq("C_GetFunctionList fails", CKR_HOST_MEMORY, p.initialize(module("ornp11test_listfails")));
        ok("old list kept", calls() > 0);
        eq("C_Initialize fails", CKR_GENERAL_ERROR, p.initialize(module("ornp11test_initfails")));
        ok("old list kept", calls() > 0);
        eq("old handle kept", 4, p.reset(4));
    }

    static void finalizeAlwaysUnloads() {
        eq("cFinalize", CKR_OK, p.cFinalize());
        eq("unloaded", MISSING, p.waitForSlotEvent(0, new int[1]));
        eq("cFinalize again", MISSING, p.cFinalize());
        eq("initialize", CKR_OK, p.initialize(module("ornp11test_finalfails")));
        eq("failing cFinalize", CKR_DEVICE_ERROR, p.cFinalize());
        eq("unloaded anyway", MISSING, p.waitForSlotEvent(0, new int[1]));
    }

    /** A module left loaded is finalised at process end, before its static destructors. */
    static void processEnd() throws Exception {
        String[][] cases = {
            {"return", "C_Finalize"},
            {"exit", "C_Finalize"},
            {"reload", "C_Finalize"},
            {"again", "C_Finalize"},
            // A thread still inside the module: it is neither finalised nor freed.
            {"busy", "C_Logout holding"},
        };
        for (String[] c : cases) {
            File log = File.createTempFile("bridge-exit", ".log");
            int code = runProbe(c[0], module("ornp11test"), log);
            eq(c[0] + ": exit code", 0, code);
            List<String> lines = Files.readAllLines(log.toPath());
            int n = lines.size();
            ok(c[0] + ": " + c[1] + " before the static destructors, got " + lines,
               n >= 3 && lines.get(n - 3).equals("C_Initialize OS locking") && lines.get(n - 2).equals(c[1])
               && lines.get(n - 1).equals("static destructor"));
            ok(c[0] + ": finalised at most once, got " + lines,
               lines.stream().filter("C_Finalize"::equals).count() <= (c[0].equals("reload") ? 2 : 1));
            log.delete();
        }
        eq("softhsm: exit code", 0, runProbe("return", softhsm, null));
    }

    static int runProbe(String mode, String modulePath, File log) throws Exception {
        String java = new File(System.getProperty("java.home"), "bin/java").getPath();
        ProcessBuilder pb = new ProcessBuilder(java, "-Xcheck:jni",
            "-Djava.library.path=" + System.getProperty("java.library.path"),
            "-cp", System.getProperty("java.class.path"), "ExitProbe", mode, modulePath);
        pb.redirectErrorStream(true);
        if (log != null) pb.environment().put("ORN_P11TEST_LOG", log.getPath());
        Process child = pb.start();
        String output;
        try (InputStream in = child.getInputStream()) {
            output = new String(in.readAllBytes(), StandardCharsets.UTF_8);
        }
        int code = child.waitFor();
        System.out.print(output);  // the runner's caller checks it for JNI warnings
        return code;
    }

    static void softhsm() throws Exception {
        eq("initialize", CKR_OK, p.initialize(softhsm));

        String[] info = new String[5];
        eq("getInfo", CKR_OK, p.getInfo(info));
        ok("cryptoki version " + info[0], info[0].matches("02[0-9a-f]{2}"));
        eq("manufacturer width", 32, info[1].length());
        ok("flags " + info[2], info[2].matches("[0-9a-f]{8}"));
        eq("description width", 32, info[3].length());

        int[] count = {0};
        eq("slot count query", CKR_OK, p.getSlotList(true, null, count));
        ok("slots present", count[0] >= 1);
        int[] small = {0};
        eq("no room", CKR_BUFFER_TOO_SMALL, p.getSlotList(true, new int[0], small));
        eq("needed room", count[0], small[0]);
        int[] slots = new int[count[0]];
        eq("slot list", CKR_OK, p.getSlotList(true, slots, count));

        int slot = 0;
        boolean found = false;
        String[] token = new String[18];
        for (int i = 0; i < count[0] && !found; i++) {
            eq("getTokenInfo", CKR_OK, p.getTokenInfo(slots[i], token));
            if (token[0].equals(pad(label, 32))) {
                slot = slots[i];
                found = true;
            }
        }
        ok("token found by its blank-padded label", found);
        if (!found) return;
        eq("model width", 16, token[2].length());
        ok("token flags " + token[4], token[4].matches("[0-9a-f]{8}"));
        for (int i = 5; i <= 14; i++) ok("counter " + token[i], token[i].matches("-?[0-9]+"));
        eq("unavailable public memory", "-1", token[11]);
        ok("hardware version " + token[15], token[15].matches("[0-9a-f]{4}"));

        String[] slotInfo = new String[5];
        eq("getSlotInfo", CKR_OK, p.getSlotInfo(slot, slotInfo));
        eq("slot description width", 64, slotInfo[0].length());
        ok("token present flag", (Integer.parseInt(slotInfo[2], 16) & 1) == 1);

        int[] mechCount = {0};
        eq("mechanism count", CKR_OK, p.getMechanismList(slot, null, mechCount));
        int[] mechs = new int[mechCount[0]];
        eq("mechanism list", CKR_OK, p.getMechanismList(slot, mechs, mechCount));
        ok("HMAC, SHA-256 and AES listed", Arrays.stream(mechs).filter(
            m -> m == CKM_SHA256_HMAC || m == CKM_SHA256 || m == CKM_AES_ECB || m == CKM_AES_CBC).count() == 4);
        int[] mechInfo = new int[3];
        eq("getMechanismInfo", CKR_OK, p.getMechanismInfo(slot, CKM_SHA256_HMAC, mechInfo));
        ok("HMAC signs", (mechInfo[2] & CKF_SIGN) != 0);

        int[] cell = {0};
        eq("openSession", CKR_OK, p.openSession(slot, CKF_SERIAL_SESSION | CKF_RW_SESSION, cell));
        int session = cell[0];
        int[] sessionInfo = new int[4];
        eq("getSessionInfo", CKR_OK, p.getSessionInfo(session, sessionInfo));
        eq("session slot", slot, sessionInfo[0]);
        eq("public session", CKS_RW_PUBLIC_SESSION, sessionInfo[1]);
        eq("login", CKR_OK, p.login(session, CKU_USER, text(pin), pin.length()));
        eq("module result passed through", CKR_USER_ALREADY_LOGGED_IN, p.login(session, CKU_USER, text(pin), pin.length()));
        eq("getSessionInfo", CKR_OK, p.getSessionInfo(session, sessionInfo));
        eq("user session", CKS_RW_USER_FUNCTIONS, sessionInfo[1]);

        byte[] hmacValue = new byte[32];
        byte[] aesValue = new byte[16];
        for (int i = 0; i < 32; i++) hmacValue[i] = (byte) (i * 7 + 1);
        for (int i = 0; i < 16; i++) aesValue[i] = (byte) (0xA0 + i);
        int hmacKey = createKey(session, "orn-hmac", CKK_GENERIC_SECRET, hmacValue, false);
        int aesKey = createKey(session, "orn-aes", CKK_AES, aesValue, false);

        byte[] message = text("[[The quick brown fox jumps over the lazy dog]]");
        int off = 2, len = message.length - 4;
        byte[] slice = Arrays.copyOfRange(message, off, off + len);

        // Digest
        byte[] sha = MessageDigest.getInstance("SHA-256").digest(slice);
        eq("digestInit", CKR_OK, p.digestInit(session, CKM_SHA256, null, 0));
        int[] outLen = {0};
        eq("digest length query", CKR_OK, p.digest(session, message, off, len, null, 0, outLen));
        eq("digest length", 32, outLen[0]);
        byte[] out = new byte[40];
        outLen[0] = 36;
        eq("digest", CKR_OK, p.digest(session, message, off, len, out, 4, outLen));
        same("digest equals Java's SHA-256", sha, Arrays.copyOfRange(out, 4, 36));
        eq("digestInit", CKR_OK, p.digestInit(session, CKM_SHA256, null, 0));
        eq("digestUpdate 1", CKR_OK, p.digestUpdate(session, message, off, 10));
        eq("digestUpdate 2", CKR_OK, p.digestUpdate(session, message, off + 10, len - 10));
        out = new byte[32];
        eq("digestFinal", CKR_OK, p.digestFinal(session, out, 0, new int[] {32}));
        same("multi-part digest", sha, out);
        eq("digestInit", CKR_OK, p.digestInit(session, CKM_SHA256, null, 0));
        int rc = p.digestKey(session, hmacKey);
        eq("digestKey", CKR_OK, rc);
        eq("digestFinal", CKR_OK, p.digestFinal(session, out, 0, new int[] {32}));
        same("key digest", MessageDigest.getInstance("SHA-256").digest(hmacValue), out);

        // Sign and verify
        Mac mac = Mac.getInstance("HmacSHA256");
        mac.init(new SecretKeySpec(hmacValue, "HmacSHA256"));
        byte[] expectedMac = mac.doFinal(slice);
        eq("signInit", CKR_OK, p.signInit(session, CKM_SHA256_HMAC, null, 0, hmacKey));
        out = new byte[32];
        outLen = new int[] {32};
        eq("sign", CKR_OK, p.sign(session, message, off, len, out, 0, outLen));
        same("HMAC equals javax.crypto's", expectedMac, out);
        eq("signInit", CKR_OK, p.signInit(session, CKM_SHA256_HMAC, null, 0, hmacKey));
        eq("signUpdate", CKR_OK, p.signUpdate(session, message, off, len));
        out = new byte[32];
        eq("signFinal", CKR_OK, p.signFinal(session, out, 0, new int[] {32}));
        same("multi-part HMAC", expectedMac, out);

        byte[] both = new byte[len + 32];
        System.arraycopy(slice, 0, both, 0, len);
        System.arraycopy(expectedMac, 0, both, len, 32);
        eq("verifyInit", CKR_OK, p.verifyInit(session, CKM_SHA256_HMAC, null, 0, hmacKey));
        eq("verify, data and signature in one array", CKR_OK, p.verify(session, both, 0, len, both, len, 32));
        both[len + 5] ^= 1;
        eq("verifyInit", CKR_OK, p.verifyInit(session, CKM_SHA256_HMAC, null, 0, hmacKey));
        eq("verify a wrong signature", CKR_SIGNATURE_INVALID, p.verify(session, both, 0, len, both, len, 32));
        eq("verifyInit", CKR_OK, p.verifyInit(session, CKM_SHA256_HMAC, null, 0, hmacKey));
        eq("verifyUpdate", CKR_OK, p.verifyUpdate(session, message, off, len));
        eq("verifyFinal", CKR_OK, p.verifyFinal(session, expectedMac, 0, 32));

        // Encrypt and decrypt
        byte[] plain = new byte[32];
        for (int i = 0; i < 32; i++) plain[i] = (byte) i;
        Cipher ecb = Cipher.getInstance("AES/ECB/NoPadding");
        ecb.init(Cipher.ENCRYPT_MODE, new SecretKeySpec(aesValue, "AES"));
        byte[] expectedEcb = ecb.doFinal(plain);
        byte[] buf = plain.clone();
        eq("encryptInit", CKR_OK, p.encryptInit(session, CKM_AES_ECB, null, 0, aesKey));
        outLen = new int[] {32};
        eq("encrypt in place", CKR_OK, p.encrypt(session, buf, 0, 32, buf, 0, outLen));
        same("AES equals javax.crypto's", expectedEcb, buf);
        eq("decryptInit", CKR_OK, p.decryptInit(session, CKM_AES_ECB, null, 0, aesKey));
        eq("decrypt in place", CKR_OK, p.decrypt(session, buf, 0, 32, buf, 0, new int[] {32}));
        same("round trip", plain, buf);

        byte[] iv = new byte[16];
        for (int i = 0; i < 16; i++) iv[i] = (byte) (0x10 + i);
        Cipher cbc = Cipher.getInstance("AES/CBC/NoPadding");
        cbc.init(Cipher.ENCRYPT_MODE, new SecretKeySpec(aesValue, "AES"), new IvParameterSpec(iv));
        byte[] expectedCbc = cbc.doFinal(plain);
        eq("encryptInit with IV", CKR_OK, p.encryptInit(session, CKM_AES_CBC, iv, 16, aesKey));
        byte[] cipher = new byte[32];
        outLen = new int[] {32};
        eq("encryptUpdate 1", CKR_OK, p.encryptUpdate(session, plain, 0, 16, cipher, 0, outLen));
        int done = outLen[0];
        outLen = new int[] {32 - done};
        eq("encryptUpdate 2", CKR_OK, p.encryptUpdate(session, plain, 16, 16, cipher, done, outLen));
        done += outLen[0];
        outLen = new int[] {32 - done};
        eq("encryptFinal", CKR_OK, p.encryptFinal(session, cipher, done, outLen));
        eq("all produced", 32, done + outLen[0]);
        same("CBC equals javax.crypto's", expectedCbc, cipher);
        eq("decryptInit with IV", CKR_OK, p.decryptInit(session, CKM_AES_CBC, iv, 16, aesKey));
        byte[] back = new byte[32];
        outLen = new int[] {32};
        eq("decryptUpdate", CKR_OK, p.decryptUpdate(session, cipher, 0, 32, back, 0, outLen));
        done = outLen[0];
        outLen = new int[] {32 - done};
        eq("decryptFinal", CKR_OK, p.decryptFinal(session, back, done, outLen));
        same("CBC round trip", plain, back);

        // Find
        eq("findObjectsInit by label", CKR_OK,
           p.findObjectsInit(session, template(new int[] {CKA_LABEL}, new Object[] {text("orn-hmac")}), 1));
        int[] objects = new int[4];
        count = new int[] {0};
        eq("findObjects", CKR_OK, p.findObjects(session, objects, 4, count));
        eq("one found", 1, count[0]);
        eq("the HMAC key", hmacKey, objects[0]);
        eq("findObjectsFinal", CKR_OK, p.findObjectsFinal(session));
        eq("findObjectsInit for all", CKR_OK, p.findObjectsInit(session, null, 0));
        eq("findObjects", CKR_OK, p.findObjects(session, objects, 4, count));
        ok("both keys found", count[0] >= 2);
        eq("findObjectsFinal", CKR_OK, p.findObjectsFinal(session));

        // Attributes in two calls
        int[] types = {CKA_LABEL, CKA_VALUE};
        int[] lengths = {0, 0};
        eq("attribute lengths", CKR_OK, p.getAttributeValue(session, hmacKey, new Object[] {types, new Object[0], lengths}, 2));
        same("lengths", new int[] {8, 32}, lengths);
        byte[] labelBytes = new byte[lengths[0]];
        byte[] valueBytes = new byte[lengths[1]];
        eq("attribute values", CKR_OK,
           p.getAttributeValue(session, hmacKey, new Object[] {types, new Object[] {labelBytes, valueBytes}, lengths}, 2));
        same("label", text("orn-hmac"), labelBytes);
        same("value", hmacValue, valueBytes);
        eq("setAttributeValue", CKR_OK,
           p.setAttributeValue(session, hmacKey, template(new int[] {CKA_LABEL}, new Object[] {text("renamed")}), 1));
        labelBytes = new byte[16];
        lengths = new int[] {16};
        eq("read the new label", CKR_OK,
           p.getAttributeValue(session, hmacKey, new Object[] {new int[] {CKA_LABEL}, new Object[] {labelBytes}, lengths}, 1));
        same("new label", text("renamed"), Arrays.copyOf(labelBytes, lengths[0]));

        // CK_ULONG values as the Java side sees them: 4 bytes each, lengths
        // included; a buffer of another size gets the module's own CK_ULONG.
        types = new int[] {CKA_CLASS, CKA_KEY_TYPE, CKA_VALUE_LEN};
        lengths = new int[] {0, 0, 0};
        eq("CK_ULONG lengths", CKR_OK, p.getAttributeValue(session, aesKey, new Object[] {types, new Object[0], lengths}, 3));
        same("CK_ULONG lengths are 4", new int[] {4, 4, 4}, lengths);
        byte[] klass = new byte[4], type = new byte[4], valueLen = new byte[4];
        eq("CK_ULONG values", CKR_OK,
           p.getAttributeValue(session, aesKey, new Object[] {types, new Object[] {klass, type, valueLen}, lengths}, 3));
        same("read back as 4 bytes each", new int[] {4, 4, 4}, lengths);
        eq("class", CKO_SECRET_KEY, ulongOf(klass));
        eq("key type", CKK_AES, ulongOf(type));
        eq("value length", 16, ulongOf(valueLen));
        byte[] wide = new byte[8];
        lengths = new int[] {8};
        eq("8-byte buffer", CKR_OK,
           p.getAttributeValue(session, aesKey, new Object[] {new int[] {CKA_CLASS}, new Object[] {wide}, lengths}, 1));
        eq("the module's own size", 8, lengths[0]);
        same("the module's own CK_ULONG", nativeUlong(CKO_SECRET_KEY), wide);
        eq("findObjectsInit by a 4-byte class", CKR_OK, p.findObjectsInit(session,
           template(new int[] {CKA_CLASS, CKA_KEY_TYPE}, new Object[] {ulong(CKO_SECRET_KEY), ulong(CKK_AES)}), 2));
        eq("findObjects", CKR_OK, p.findObjects(session, objects, 4, count));
        same("the AES key", new int[] {aesKey}, Arrays.copyOf(objects, count[0]));
        eq("findObjectsFinal", CKR_OK, p.findObjectsFinal(session));

        int secret = createKey(session, "orn-secret", CKK_GENERIC_SECRET, hmacValue, true);
        lengths = new int[] {77};
        eq("sensitive value", CKR_ATTRIBUTE_SENSITIVE,
           p.getAttributeValue(session, secret, new Object[] {new int[] {CKA_VALUE}, new Object[0], lengths}, 1));
        eq("no length reported", 77, lengths[0]);
        eq("getObjectSize", CKR_OK, p.getObjectSize(session, secret, cell));
        eq("destroyObject", CKR_OK, p.destroyObject(session, secret));
        eq("destroyObject again", CKR_OBJECT_HANDLE_INVALID, p.destroyObject(session, secret));

        // What SoftHSM2 does not do comes back as its own code.
        eq("waitForSlotEvent without blocking", CKR_NO_EVENT, p.waitForSlotEvent(1, cell));
        eq("signRecoverInit", CKR_FUNCTION_NOT_SUPPORTED, p.signRecoverInit(session, CKM_SHA256_HMAC, null, 0, hmacKey));
        eq("verifyRecoverInit", CKR_FUNCTION_NOT_SUPPORTED, p.verifyRecoverInit(session, CKM_SHA256_HMAC, null, 0, hmacKey));
        eq("signRecover", CKR_FUNCTION_NOT_SUPPORTED, p.signRecover(session, message, 0, 4, new byte[8], 0, new int[] {8}));
        eq("verifyRecover", CKR_FUNCTION_NOT_SUPPORTED, p.verifyRecover(session, message, 0, 4, new byte[8], 0, new int[] {8}));
        eq("reset", MISSING, p.reset(slot));
        eq("cardTransmit", MISSING, p.cardTransmit(slot, new byte[4], 4, new byte[8], new int[] {8}));
        eq("register", MISSING, p.register(1, 2, new byte[2], new byte[2], 2));

        mechanismParameters(session);

        // PIN change and back
        byte[] newPin = text("99" + pin + "99");
        eq("setPIN", CKR_OK, p.setPIN(session, text(pin), pin.length(), newPin, newPin.length));
        eq("logout", CKR_OK, p.logout(session));
        eq("login with the new PIN", CKR_OK, p.login(session, CKU_USER, newPin, newPin.length));
        eq("setPIN back", CKR_OK, p.setPIN(session, newPin, newPin.length, text(pin), pin.length()));
        eq("logout", CKR_OK, p.logout(session));

        eq("closeSession", CKR_OK, p.closeSession(session));
        eq("closed", CKR_SESSION_HANDLE_INVALID, p.closeSession(session));
        eq("openSession", CKR_OK, p.openSession(slot, CKF_SERIAL_SESSION, cell));
        eq("closeAllSessions", CKR_OK, p.closeAllSessions(slot));
        eq("closed by closeAllSessions", CKR_SESSION_HANDLE_INVALID, p.getSessionInfo(cell[0], sessionInfo));
        eq("cFinalize", CKR_OK, p.cFinalize());
    }

    /**
     * Eight threads, each with a session of its own, digest 1 KiB 20,000
     * times each at once; every digest must be right. The module runs with
     * its own locking (a module told that nobody calls it from two threads
     * at once takes no locks and breaks).
     */
    static void softhsmThreads() throws Exception {
        eq("initialize", CKR_OK, p.initialize(softhsm));
        int[] count = {0};
        eq("slot count", CKR_OK, p.getSlotList(true, null, count));
        int[] slots = new int[count[0]];
        eq("slot list", CKR_OK, p.getSlotList(true, slots, count));
        final int threads = 8, rounds = 20000;
        int[] wrong = new int[threads];
        Thread[] workers = new Thread[threads];
        for (int t = 0; t < threads; t++) {
            final int me = t;
            workers[t] = new Thread(() -> {
                try {
                    MessageDigest sha = MessageDigest.getInstance("SHA-256");
                    int[] cell = {0};
                    if (p.openSession(slots[0], CKF_SERIAL_SESSION, cell) != CKR_OK) {
                        wrong[me] = rounds;
                        return;
                    }
                    byte[] data = new byte[1024];
                    byte[] out = new byte[32];
                    int[] outLen = {32};
                    for (int i = 0; i < rounds; i++) {
                        ByteBuffer.wrap(data).putInt(me).putInt(i);
                        outLen[0] = 32;
                        if (p.digestInit(cell[0], CKM_SHA256, null, 0) != CKR_OK
                            || p.digest(cell[0], data, 0, data.length, out, 0, outLen) != CKR_OK
                            || !Arrays.equals(out, sha.digest(data))) {
                            wrong[me]++;
                        }
                    }
                    p.closeSession(cell[0]);
                } catch (Exception e) {
                    wrong[me] = rounds;
                }
            });
            workers[t].start();
        }
        for (Thread w : workers) w.join();
        same("no wrong digest on any thread", new int[threads], wrong);
        eq("cFinalize", CKR_OK, p.cFinalize());
    }

    static byte[] unsigned(BigInteger n) {
        byte[] b = n.toByteArray();
        return b[0] == 0 ? Arrays.copyOfRange(b, 1, b.length) : b;
    }

    /**
     * Mechanism parameters in the Java view (4 bytes per CK_ULONG): RSA-PSS
     * signatures that Java's own RSASSA-PSS verifies, AES-CTR equal to
     * javax.crypto's; and CKA_ALLOWED_MECHANISMS as an array of 4-byte
     * values, which the token enforces and gives back.
     */
    static void mechanismParameters(int session) throws Exception {
        KeyPairGenerator generator = KeyPairGenerator.getInstance("RSA");
        generator.initialize(2048);
        KeyPair pair = generator.generateKeyPair();
        RSAPrivateCrtKey rsa = (RSAPrivateCrtKey) pair.getPrivate();
        // In ascending order, as SoftHSM2 keeps them.
        int[] allowed = {CKM_RSA_PKCS_PSS, CKM_SHA1_RSA_PKCS_PSS, CKM_SHA256_RSA_PKCS_PSS, CKM_SHA384_RSA_PKCS_PSS,
                         CKM_SHA512_RSA_PKCS_PSS};
        int[] types = {CKA_CLASS, CKA_KEY_TYPE, CKA_TOKEN, CKA_PRIVATE, CKA_SIGN, CKA_ALLOWED_MECHANISMS,
                       CKA_MODULUS, CKA_PUBLIC_EXPONENT, 0x123, 0x124, 0x125, 0x126, 0x127, 0x128};
        Object[] values = {ulong(CKO_PRIVATE_KEY), ulong(CKK_RSA), bool(false), bool(true), bool(true), ulongs(allowed),
                           unsigned(rsa.getModulus()), unsigned(rsa.getPublicExponent()),
                           unsigned(rsa.getPrivateExponent()), unsigned(rsa.getPrimeP()), unsigned(rsa.getPrimeQ()),
                           unsigned(rsa.getPrimeExponentP()), unsigned(rsa.getPrimeExponentQ()),
                           unsigned(rsa.getCrtCoefficient())};
        int[] cell = {0};
        eq("create the RSA private key", CKR_OK, p.createObject(session, template(types, values), types.length, cell));
        int privateKey = cell[0];
        types = new int[] {CKA_CLASS, CKA_KEY_TYPE, CKA_TOKEN, CKA_VERIFY, CKA_MODULUS, CKA_PUBLIC_EXPONENT};
        values = new Object[] {ulong(CKO_PUBLIC_KEY), ulong(CKK_RSA), bool(false), bool(true),
                               unsigned(rsa.getModulus()), unsigned(rsa.getPublicExponent())};
        eq("create the RSA public key", CKR_OK, p.createObject(session, template(types, values), types.length, cell));
        int publicKey = cell[0];

        byte[] data = text("PSS-signed by the token, verified by Java");
        Object[][] pss = {
            // mechanism, parameter, Java's hash, salt length, what is signed
            {CKM_SHA256_RSA_PKCS_PSS, ulongs(CKM_SHA256, CKG_MGF1_SHA256, 32), "SHA-256", 32, data},
            {CKM_SHA384_RSA_PKCS_PSS, ulongs(CKM_SHA384, CKG_MGF1_SHA384, 48), "SHA-384", 48, data},
            {CKM_SHA512_RSA_PKCS_PSS, ulongs(CKM_SHA512, CKG_MGF1_SHA512, 0), "SHA-512", 0, data},
            {CKM_SHA1_RSA_PKCS_PSS, ulongs(CKM_SHA_1, CKG_MGF1_SHA1, 20), "SHA-1", 20, data},
            // The module's own 3 x 8 bytes pass through unchanged.
            {CKM_SHA256_RSA_PKCS_PSS, ByteBuffer.allocate(24).order(ByteOrder.nativeOrder())
                 .putLong(CKM_SHA256).putLong(CKG_MGF1_SHA256).putLong(32).array(), "SHA-256", 32, data},
            // The hash made by the caller.
            {CKM_RSA_PKCS_PSS, ulongs(CKM_SHA256, CKG_MGF1_SHA256, 32), "SHA-256", 32,
                 MessageDigest.getInstance("SHA-256").digest(data)},
        };
        for (Object[] c : pss) {
            int mechanism = (Integer) c[0];
            byte[] parameter = (byte[]) c[1];
            String hash = (String) c[2];
            byte[] signed = (byte[]) c[4];
            String what = "PSS " + hash + " parameter of " + parameter.length + " bytes, mechanism 0x" + Integer.toHexString(mechanism);
            eq(what + ": signInit", CKR_OK, p.signInit(session, mechanism, parameter, parameter.length, privateKey));
            byte[] signature = new byte[256];
            int[] outLen = {256};
            eq(what + ": sign", CKR_OK, p.sign(session, signed, 0, signed.length, signature, 0, outLen));
            eq(what + ": length", 256, outLen[0]);
            Signature verifier = Signature.getInstance("RSASSA-PSS");
            verifier.setParameter(new PSSParameterSpec(hash, "MGF1", new MGF1ParameterSpec(hash), (Integer) c[3], 1));
            verifier.initVerify(pair.getPublic());
            verifier.update(data);
            ok(what + ": Java verifies the signature", verifier.verify(signature));
            eq(what + ": verifyInit", CKR_OK, p.verifyInit(session, mechanism, parameter, parameter.length, publicKey));
            eq(what + ": the token verifies it", CKR_OK, p.verify(session, signed, 0, signed.length, signature, 0, 256));
        }

        // The allowed mechanisms came in as 4-byte values: the token signs
        // with them and refuses a mechanism not in the list.
        eq("a mechanism not allowed", CKR_MECHANISM_INVALID, p.signInit(session, CKM_SHA256_RSA_PKCS, null, 0, privateKey));
        int[] lengths = {0};
        Object[] read = {new int[] {CKA_ALLOWED_MECHANISMS}, new Object[0], lengths};
        eq("allowed mechanisms length", CKR_OK, p.getAttributeValue(session, privateKey, read, 1));
        eq("4 bytes each", 4 * allowed.length, lengths[0]);
        byte[] buffer = new byte[40];
        lengths = new int[] {40};
        read = new Object[] {new int[] {CKA_ALLOWED_MECHANISMS}, new Object[] {buffer}, lengths};
        eq("allowed mechanisms", CKR_OK, p.getAttributeValue(session, privateKey, read, 1));
        eq("read back as 4 bytes each", 4 * allowed.length, lengths[0]);
        same("the allowed mechanisms", allowed, ulongsOf(buffer, lengths[0]));
        lengths = new int[] {4 * allowed.length - 4};
        read = new Object[] {new int[] {CKA_ALLOWED_MECHANISMS}, new Object[] {new byte[40]}, lengths};
        eq("one element short", CKR_BUFFER_TOO_SMALL, p.getAttributeValue(session, privateKey, read, 1));
        eq("no length reported", 4 * allowed.length - 4, lengths[0]);

        // AES-CTR: counter bits and the 16-byte counter block, 4 + 16 bytes.
        byte[] aesValue = new byte[16];
        for (int i = 0; i < 16; i++) aesValue[i] = (byte) (0x31 * i + 7);
        int aesKey = createKey(session, "orn-ctr", CKK_AES, aesValue, false);
        byte[] block = new byte[16];
        for (int i = 0; i < 16; i++) block[i] = (byte) (0xF0 + i);
        block[15] = (byte) 0xFF;  // the counter carries into the next byte
        ByteBuffer ctrParameter = ByteBuffer.allocate(20).order(ByteOrder.nativeOrder()).putInt(128).put(block);
        byte[] plain = text("forty bytes of plain text, not a block!!");
        Cipher ctr = Cipher.getInstance("AES/CTR/NoPadding");
        ctr.init(Cipher.ENCRYPT_MODE, new SecretKeySpec(aesValue, "AES"), new IvParameterSpec(block));
        byte[] expected = ctr.doFinal(plain);
        eq("AES-CTR encryptInit with 20 bytes", CKR_OK, p.encryptInit(session, CKM_AES_CTR, ctrParameter.array(), 20, aesKey));
        byte[] cipher = new byte[plain.length];
        eq("AES-CTR encrypt", CKR_OK, p.encrypt(session, plain, 0, plain.length, cipher, 0, new int[] {plain.length}));
        same("AES-CTR equals javax.crypto's", expected, cipher);
        eq("AES-CTR decryptInit", CKR_OK, p.decryptInit(session, CKM_AES_CTR, ctrParameter.array(), 20, aesKey));
        byte[] back = new byte[plain.length];
        eq("AES-CTR decrypt", CKR_OK, p.decrypt(session, cipher, 0, cipher.length, back, 0, new int[] {plain.length}));
        same("AES-CTR round trip", plain, back);
    }

    static int createKey(int session, String keyLabel, int keyType, byte[] value, boolean sensitive) {
        int[] types = {CKA_CLASS, CKA_KEY_TYPE, CKA_TOKEN, CKA_LABEL, CKA_VALUE, CKA_SIGN, CKA_VERIFY,
                       CKA_ENCRYPT, CKA_DECRYPT, CKA_SENSITIVE, CKA_EXTRACTABLE};
        boolean hmac = keyType == CKK_GENERIC_SECRET;
        Object[] values = {ulong(CKO_SECRET_KEY), ulong(keyType), bool(false), text(keyLabel), value,
                           bool(hmac), bool(hmac), bool(!hmac), bool(!hmac), bool(sensitive), bool(true)};
        int[] object = {0};
        eq("createObject " + keyLabel, CKR_OK, p.createObject(session, template(types, values), types.length, object));
        return object[0];
    }
}
