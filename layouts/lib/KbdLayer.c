/* The keyboard layout library: its one export hands the system the layout tables.
 *
 * Built without C runtime, imports or entry point: on 32-bit Windows the system calls
 * KbdLayerDescriptor from kernel mode, where nothing but the image itself may be touched.
 *
 * Build parameters (compiler definitions):
 *   KB_TABLES             path of the generated tables of one variant in one set
 *   KB_HAS_KEYBOARD_TYPE  1 for Windows Vista and later: the layout table ends with the keyboard
 *                         type and subtype, fields that earlier systems do not have
 *
 * What differs per Windows version slot, and why:
 *   slots 0, 1, 2, 4 (Windows 2000, XP, Server 2003 and XP x64): the table ends at the ligature
 *     pointer, as those systems define it.
 *   slots 5, 7, 8, 10, 11, 12 (Vista and later): the table ends with the keyboard type fields.
 *   Each image records its slot's Windows version as its OS and subsystem version.
 *   32-bit slots hold two trees (see below and WowChoice.h), 64-bit slots one.
 * Every build of a variant holds the same scan-code, E0, E1 and decimal-key tables, byte for byte,
 * so the installer finds them with one pattern each. */
#include "KbdTables.h"

#include KB_TABLES

#ifdef __x86_64__

__attribute__((used)) const void* KbdLayerDescriptor(void) {
    return &kbTables;
}

#else

#include "WowChoice.h"

static unsigned KbReadTebField(int which, void* context) {
    unsigned value;
    (void)context;
    if (which == KB_PROBE_WOW_TEB_OFFSET)
        __asm__ volatile("movl %%fs:0xFDC, %0" : "=r"(value));
    else
        __asm__ volatile("movl %%fs:0xF70, %0" : "=r"(value));
    return value;
}

/* Both trees share every pointer-free table, so a patch of the scan-code, E0, E1 or decimal-key
 * table reaches whichever tree a reader gets. */
__attribute__((used)) const void* KbdLayerDescriptor(void) {
    unsigned short cs;
    __asm__ volatile("movw %%cs, %0" : "=r"(cs));
    if (KbChooseWide(cs, KB_PROBE_WOW_TEB_OFFSET | KB_PROBE_GDI_BATCH_COUNT, KbReadTebField, 0))
        return &kbTablesWide;
    return &kbTables;
}

#endif
