/* Which tree a 32-bit layout library hands out: the native one (4-byte pointers) or the wide one
 * (8-byte pointer slots).
 *
 * The same 32-bit file serves two readers. On 32-bit Windows the system itself maps it and calls
 * KbdLayerDescriptor in kernel mode, possibly outside any process; it must get the native tree,
 * and the call may touch nothing outside the image. On 64-bit Windows the system reads the 64-bit
 * library; the 32-bit copy in the 32-bit system directory is read only by 32-bit programs running
 * under WOW64, which expect the wide tree. So the choice is made from what the caller's CPU state
 * says, in this order:
 *
 *  1. Privilege level of the code segment (a register, no memory): 0 means kernel mode, which on
 *     32-bit Windows is the system's own call. Native tree, nothing else is read.
 *  2. The code segment selector of native 32-bit Windows user mode (0x1B). Native tree.
 *  3. Otherwise the code segment is the compatibility segment of 64-bit Windows (0x23), or an
 *     emulator's; the thread block that FS addresses tells whether a 64-bit thread block stands
 *     behind this one:
 *     - Windows 8 and later keep the distance to it in the field at 0xFDC (WowTebOffset);
 *     - earlier 64-bit Windows (XP x64, Server 2003, Vista, 7) keep its address in the field at
 *       0xF70 (GdiBatchCount), where a 32-bit system only counts batched GDI calls.
 *     Both are asked: on real Windows the code segment already says WOW64, so either field can
 *     only confirm it, whatever the field holds on a version that lacks it. Wine runs 32-bit code
 *     on a 0x23 segment in both of its prefixes and sets the offset field in its WOW64 prefix only.
 *  The fields are read only after steps 1 and 2, that is from user mode, where FS:0..0xFFF is the
 *  current thread's own block on every Windows version.
 *
 * The decision itself is a pure function of those values, so that it can be tested anywhere. */
#ifndef KRESKA_WOW_CHOICE_H
#define KRESKA_WOW_CHOICE_H

#define KB_NATIVE_USER_CODE_SELECTOR 0x1B
#define KB_TEB_GDI_BATCH_COUNT 0xF70
#define KB_TEB_WOW_TEB_OFFSET 0xFDC

enum KbTebField { KB_PROBE_GDI_BATCH_COUNT = 1, KB_PROBE_WOW_TEB_OFFSET = 2 };

/* Nonzero when code running on the code segment cs belongs to a WOW64 process. readField(which,
 * context) gives the thread-block field named; it is called only in user mode and only for the
 * probes given. */
static inline int KbChooseWide(unsigned cs, int probes,
                               unsigned (*readField)(int which, void* context), void* context) {
    if ((cs & 3) == 0) return 0;
    if (cs == KB_NATIVE_USER_CODE_SELECTOR) return 0;
    if ((probes & KB_PROBE_WOW_TEB_OFFSET) && readField(KB_PROBE_WOW_TEB_OFFSET, context) != 0)
        return 1;
    if (probes & KB_PROBE_GDI_BATCH_COUNT) {
        /* A 64-bit thread block lies on a page boundary well above the first 64 KB; a batch
         * count of a 32-bit process is a small number. */
        const unsigned teb64 = readField(KB_PROBE_GDI_BATCH_COUNT, context);
        if (teb64 >= 0x10000 && (teb64 & 0xFFF) == 0) return 1;
    }
    return 0;
}

#endif
