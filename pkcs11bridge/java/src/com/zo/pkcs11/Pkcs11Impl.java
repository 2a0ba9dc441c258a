package com.zo.pkcs11;

/**
 * The Java half of the PKCS#11 bridge; the native half is libBrennix.
 *
 * Every method returns the module's CK_RV (0 = CKR_OK) or one of the
 * bridge's codes and never throws. Every CK_ULONG (handle, count, length,
 * flag, type) travels as an int; int[] of length 1 are output cells. A
 * CK_ULONG inside a byte[] (an attribute value, a mechanism parameter of
 * CK_ULONG fields and bytes) is 4 bytes in native order.
 */
public class Pkcs11Impl {
    /**
     * The module could not be loaded, or an entry point is missing; also the
     * answer to every call while no module is loaded or a cFinalize is under way.
     */
    public static final int CKR_BRIDGE_MODULE_MISSING = 0x7fffff00;
    /** A Java argument has the wrong shape. */
    public static final int CKR_BRIDGE_BAD_ARGUMENT = 0x7fffff01;
    /** Any other failure inside the bridge. */
    public static final int CKR_BRIDGE_UNEXPECTED = 0x7fffff02;

    static {
        System.loadLibrary("Brennix");
    }

    // Module loading. cFinalize may run while other threads call: it refuses
    // new calls, waits for those inside the module, then finalises and
    // unloads it.
    public native int initialize(String libraryPath);
    public native int cFinalize();

    // General, slot and token
    public native int getInfo(String[] info);
    public native int getSlotList(boolean tokenPresent, int[] slots, int[] count);
    public native int getSlotInfo(int slot, String[] info);
    public native int getTokenInfo(int slot, String[] info);
    public native int waitForSlotEvent(int flags, int[] slot);
    public native int getMechanismList(int slot, int[] types, int[] count);
    public native int getMechanismInfo(int slot, int type, int[] info);
    public native int setPIN(int session, byte[] oldPin, int oldLen, byte[] newPin, int newLen);

    // Sessions
    public native int openSession(int slot, int flags, int[] session);
    public native int closeSession(int session);
    public native int closeAllSessions(int slot);
    public native int getSessionInfo(int session, int[] info);
    public native int login(int session, int userType, byte[] pin, int pinLen);
    public native int logout(int session);

    // Objects; a template is {int[] types, Object[] values (byte[])} and, for
    // reading, also int[] lengths.
    public native int createObject(int session, Object[] template, int count, int[] object);
    public native int destroyObject(int session, int object);
    public native int getObjectSize(int session, int object, int[] size);
    public native int getAttributeValue(int session, int object, Object[] template, int count);
    public native int setAttributeValue(int session, int object, Object[] template, int count);
    public native int findObjectsInit(int session, Object[] template, int count);
    public native int findObjects(int session, int[] objects, int maxCount, int[] count);
    public native int findObjectsFinal(int session);

    // Operation set-up
    public native int encryptInit(int session, int type, byte[] parameter, int parameterLen, int key);
    public native int decryptInit(int session, int type, byte[] parameter, int parameterLen, int key);
    public native int signInit(int session, int type, byte[] parameter, int parameterLen, int key);
    public native int signRecoverInit(int session, int type, byte[] parameter, int parameterLen, int key);
    public native int verifyInit(int session, int type, byte[] parameter, int parameterLen, int key);
    public native int verifyRecoverInit(int session, int type, byte[] parameter, int parameterLen, int key);
    public native int digestInit(int session, int type, byte[] parameter, int parameterLen);

    // Data: in[inOff..inOff+inLen) -> out[outOff..], outLen[0] the size in and the length out
    public native int encrypt(int session, byte[] in, int inOff, int inLen, byte[] out, int outOff, int[] outLen);
    public native int encryptUpdate(int session, byte[] in, int inOff, int inLen, byte[] out, int outOff, int[] outLen);
    public native int decrypt(int session, byte[] in, int inOff, int inLen, byte[] out, int outOff, int[] outLen);
    public native int decryptUpdate(int session, byte[] in, int inOff, int inLen, byte[] out, int outOff, int[] outLen);
    public native int digest(int session, byte[] in, int inOff, int inLen, byte[] out, int outOff, int[] outLen);
    public native int sign(int session, byte[] in, int inOff, int inLen, byte[] out, int outOff, int[] outLen);
    public native int signRecover(int session, byte[] in, int inOff, int inLen, byte[] out, int outOff, int[] outLen);
    public native int verifyRecover(int session, byte[] in, int inOff, int inLen, byte[] out, int outOff, int[] outLen);
    public native int encryptFinal(int session, byte[] out, int outOff, int[] outLen);
    public native int decryptFinal(int session, byte[] out, int outOff, int[] outLen);
    public native int digestFinal(int session, byte[] out, int outOff, int[] outLen);
    public native int signFinal(int session, byte[] out, int outOff, int[] outLen);
    public native int digestUpdate(int session, byte[] part, int partOff, int partLen);
    public native int signUpdate(int session, byte[] part, int partOff, int partLen);
    public native int verifyUpdate(int session, byte[] part, int partOff, int partLen);
    public native int verifyFinal(int session, byte[] signature, int sigOff, int sigLen);
    public native int digestKey(int session, int key);
    public native int verify(int session, byte[] data, int dataOff, int dataLen, byte[] signature, int sigOff, int sigLen);

    // Card extensions of the module
    public native int reset(int slot);
    public native int cardTransmit(int slot, byte[] command, int commandLen, byte[] response, int[] responseLen);
    public native int register(int a, int b, byte[] input, byte[] output, int c);
}
