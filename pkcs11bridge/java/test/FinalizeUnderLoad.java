import com.zo.pkcs11.Pkcs11Impl;

import java.nio.ByteBuffer;
import java.nio.ByteOrder;
import java.nio.charset.StandardCharsets;
import java.security.MessageDigest;
import java.util.Arrays;
import java.util.Random;
import java.util.concurrent.CountDownLatch;
import java.util.concurrent.atomic.AtomicInteger;
import java.util.concurrent.atomic.AtomicReference;
import javax.crypto.Mac;
import javax.crypto.spec.SecretKeySpec;

/**
 * cFinalize on one thread while 16 others are busy in the bridge, round
 * after round, against SoftHSM2 (digest and HMAC) and p11-kit's trust
 * module (finding certificates and reading their labels). Every call must
 * give the right result or the bridge's code for no module, and a thread
 * once refused stays refused until the next initialize. The virtual machine
 * must survive it all. Prints "N rounds, N refused, N failed"; exits 1 on a
 * failure.
 *
 * Arguments: SoftHSM2 module, test-module directory, user PIN, token label,
 * trace file, p11-kit trust module.
 */
public final class FinalizeUnderLoad {
    static final int CKR_OK = 0, CKF_SERIAL_SESSION = 4;
    static final int CKA_CLASS = 0, CKA_TOKEN = 1, CKA_PRIVATE = 2, CKA_LABEL = 3, CKA_VALUE = 0x11, CKA_KEY_TYPE = 0x100;
    static final int CKA_SIGN = 0x108;
    static final int CKO_CERTIFICATE = 1, CKO_SECRET_KEY = 4, CKK_GENERIC_SECRET = 0x10;
    static final int CKM_SHA256 = 0x250, CKM_SHA256_HMAC = 0x251;
    static final int MISSING = Pkcs11Impl.CKR_BRIDGE_MODULE_MISSING;
    static final int THREADS = 16, ROUNDS = 60;

    static final Pkcs11Impl p = new Pkcs11Impl();
    static int failed, rounds;
    /** Refusals that came between two calls of one step: cFinalize met calls in flight. */
    static final AtomicInteger midway = new AtomicInteger();

    static void fail(String what) {
        failed++;
        System.out.println("FAILED " + what);
    }

    /** One worker's sequence of calls; each returns false once the bridge refused it. */
    interface Work { boolean step(int session, Random random) throws Exception; }

    /** What a worker found wrong, or null. */
    static final class Check {
        final AtomicReference<String> wrong = new AtomicReference<>();
        final ThreadLocal<boolean[]> inStep = ThreadLocal.withInitial(() -> new boolean[1]);
        void newStep() { inStep.get()[0] = false; }
        /** True for a right result, false for a refusal; any other code is wrong. */
        boolean rc(String call, int rc) {
            boolean[] busy = inStep.get();
            if (rc == CKR_OK) {
                busy[0] = true;
                return true;
            }
            if (rc != MISSING) wrong.compareAndSet(null, call + " returned 0x" + Integer.toHexString(rc));
            if (busy[0]) midway.incrementAndGet();
            return false;
        }
        void result(String what, boolean right) {
            if (!right) wrong.compareAndSet(null, what);
        }
    }

    static byte[] ulong(int v) {
        return ByteBuffer.allocate(Integer.BYTES).order(ByteOrder.nativeOrder()).putInt(v).array();
    }

    public static void main(String[] args) throws Exception {
        String softhsm = args[0], trust = args[5];
        String[][] modules = {{"softhsm", softhsm}, {"trust", trust}};
        for (String[] m : modules) {
            int before = midway.get();
            for (int r = 0; r < ROUNDS; r++) round(m[0], m[1], m[0].equals("softhsm"), r);
            // The test proves nothing unless cFinalize met calls in flight.
            if (midway.get() == before) fail(m[0] + ": no call was refused in the middle of a step");
        }
        System.out.println(rounds + " rounds, " + midway.get() + " refused midway, " + failed + " failed");
        System.exit(failed == 0 ? 0 : 1);
    }

    static void round(String name, String module, boolean softhsm, int r) throws Exception {
        rounds++;
        String where = name + " round " + r;
        int rc = p.initialize(module);
        if (rc != CKR_OK) {
            fail(where + ": initialize 0x" + Integer.toHexString(rc));
            return;
        }
        int slot = firstSlot(where);
        Check check = new Check();
        Work work = softhsm ? softhsmWork(check) : trustWork(check, referenceLabels(slot, where));

        AtomicInteger steps = new AtomicInteger();
        AtomicInteger refused = new AtomicInteger();
        CountDownLatch started = new CountDownLatch(THREADS);
        Thread[] workers = new Thread[THREADS];
        for (int t = 0; t < THREADS; t++) {
            final long seed = r * 100L + t;
            workers[t] = new Thread(() -> {
                Random random = new Random(seed);
                started.countDown();
                try {
                    int[] cell = {0};
                    if (check.rc("openSession", p.openSession(slot, CKF_SERIAL_SESSION, cell))) {
                        do {
                            check.newStep();
                        } while (work.step(cell[0], random) && steps.incrementAndGet() > 0);
                    }
                    refused.incrementAndGet();
                    // Refused for good: nothing is loaded any more.
                    check.result("a call after the refusal was not refused",
                                 p.closeSession(cell[0]) == MISSING && p.getInfo(new String[5]) == MISSING);
                } catch (Exception e) {
                    check.result("threw " + e, false);
                }
            });
            workers[t].start();
        }
        started.await();
        // Let the workers get going, then finalise in the middle of their calls.
        while (steps.get() < THREADS * 4 && refused.get() < THREADS) Thread.onSpinWait();
        Thread.sleep(new Random(r).nextInt(5));
        int finalized = p.cFinalize();
        for (Thread w : workers) w.join();
        if (finalized != CKR_OK) fail(where + ": cFinalize 0x" + Integer.toHexString(finalized));
        if (check.wrong.get() != null) fail(where + ": " + check.wrong.get());
        if (refused.get() != THREADS) fail(where + ": " + refused.get() + " of " + THREADS + " threads ended refused");
    }

    static int firstSlot(String where) {
        int[] count = {0};
        if (p.getSlotList(true, null, count) != CKR_OK || count[0] < 1) {
            fail(where + ": no slot");
            return 0;
        }
        int[] slots = new int[count[0]];
        p.getSlotList(true, slots, count);
        return slots[0];
    }

    /** SHA-256 of random data and an HMAC with a session key of the thread's own. */
    static Work softhsmWork(Check check) {
        return new Work() {
            final ThreadLocal<int[]> key = ThreadLocal.withInitial(() -> new int[] {-1});
            public boolean step(int session, Random random) throws Exception {
                byte[] data = new byte[64 + random.nextInt(512)];
                random.nextBytes(data);
                byte[] out = new byte[32];
                if (random.nextBoolean()) {
                    if (!check.rc("digestInit", p.digestInit(session, CKM_SHA256, null, 0))) return false;
                    if (!check.rc("digest", p.digest(session, data, 0, data.length, out, 0, new int[] {32}))) return false;
                    check.result("wrong digest", Arrays.equals(out, MessageDigest.getInstance("SHA-256").digest(data)));
                    return true;
                }
                byte[] secret = new byte[32];
                Arrays.fill(secret, (byte) session);
                int[] k = key.get();
                if (k[0] < 0) {
                    int[] types = {CKA_CLASS, CKA_KEY_TYPE, CKA_TOKEN, CKA_PRIVATE, CKA_VALUE, CKA_SIGN};
                    Object[] values = {ulong(CKO_SECRET_KEY), ulong(CKK_GENERIC_SECRET), new byte[] {0},
                                       new byte[] {0}, secret, new byte[] {1}};
                    if (!check.rc("createObject", p.createObject(session, new Object[] {types, values}, 6, k))) return false;
                }
                if (!check.rc("signInit", p.signInit(session, CKM_SHA256_HMAC, null, 0, k[0]))) return false;
                if (!check.rc("sign", p.sign(session, data, 0, data.length, out, 0, new int[] {32}))) return false;
                Mac mac = Mac.getInstance("HmacSHA256");
                mac.init(new SecretKeySpec(secret, "HmacSHA256"));
                check.result("wrong HMAC", Arrays.equals(out, mac.doFinal(data)));
                return true;
            }
        };
    }

    /** The labels of the certificates of the trust module's first slot, read before the threads start. */
    static String[] referenceLabels(int slot, String where) {
        int[] cell = {0};
        if (p.openSession(slot, CKF_SERIAL_SESSION, cell) != CKR_OK) {
            fail(where + ": openSession");
            return new String[0];
        }
        String[] labels = findLabels(cell[0], new Check(), 8);
        p.closeSession(cell[0]);
        if (labels == null || labels.length == 0) fail(where + ": no certificates in the trust module");
        return labels == null ? new String[0] : labels;
    }

    /** Up to `max` certificate labels, or null once refused. */
    static String[] findLabels(int session, Check check, int max) {
        Object[] byClass = {new int[] {CKA_CLASS}, new Object[] {ulong(CKO_CERTIFICATE)}};
        if (!check.rc("findObjectsInit", p.findObjectsInit(session, byClass, 1))) return null;
        int[] objects = new int[max];
        int[] count = {0};
        boolean found = check.rc("findObjects", p.findObjects(session, objects, max, count));
        if (!check.rc("findObjectsFinal", p.findObjectsFinal(session)) || !found) return null;
        String[] labels = new String[count[0]];
        for (int i = 0; i < count[0]; i++) {
            int[] lengths = {256};
            byte[] label = new byte[256];
            Object[] t = {new int[] {CKA_LABEL}, new Object[] {label}, lengths};
            if (!check.rc("getAttributeValue", p.getAttributeValue(session, objects[i], t, 1))) return null;
            labels[i] = new String(label, 0, lengths[0], StandardCharsets.UTF_8);
        }
        return labels;
    }

    static Work trustWork(Check check, String[] reference) {
        return (session, random) -> {
            String[] labels = findLabels(session, check, 1 + random.nextInt(reference.length));
            if (labels == null) return false;
            check.result("wrong labels " + Arrays.toString(labels),
                         Arrays.equals(labels, Arrays.copyOf(reference, labels.length)));
            return true;
        };
    }
}
