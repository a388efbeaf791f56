/* The keyboard-layout table structures that the system reads from a layout library, in our own
 * words. Every table is static data; arrays end with an all-zero entry except the scan-code
 * array, whose length is stored beside it. Pointers are absolute addresses, fixed up by the
 * image's base relocations.
 *
 * Two pointer widths exist. The native tree uses the pointers of the build's own architecture.
 * The wide tree (32-bit builds only) gives every pointer an 8-byte slot, the form 32-bit
 * programs on 64-bit Windows expect; its offsets equal the 64-bit build's. The i686 linker fixes
 * up the low four bytes of a slot and the high four stay zero, which is right because the image
 * lies below 4 GB. */
#ifndef KRESKA_KBD_TABLES_H
#define KRESKA_KBD_TABLES_H

typedef unsigned char KbByte;
typedef unsigned short KbWord;
typedef unsigned int KbDword;
typedef unsigned long long KbQword;

/* Modifier bits. */
#define KB_SHIFT 0x01
#define KB_CTRL 0x02
#define KB_ALT 0x04
/* A modifier combination that types nothing. */
#define KB_SHIFT_INVALID 0x0F

/* Low word of the locale flags: right Alt acts as Ctrl+Alt (AltGr). High word: table version;
 * version 1 is the one with ligature support, read by every system we serve. */
#define KB_LOCALE_ALTGR 0x0001
#define KB_TABLE_VERSION 1
#define KB_LOCALE_FLAGS ((KbDword)KB_LOCALE_ALTGR | ((KbDword)KB_TABLE_VERSION << 16))

/* Keyboard type for the trailing type fields: the enhanced 101/102-key keyboard. */
#define KB_KEYBOARD_TYPE 4
#define KB_KEYBOARD_SUBTYPE 0

/* Special character values. */
#define KB_WCH_NONE 0xF000
#define KB_WCH_DEAD 0xF001

/* The keyboard type fields exist from Windows Vista on; older systems end the table before them. */
#if KB_HAS_KEYBOARD_TYPE
#define KB_TYPE_FIELDS , KB_KEYBOARD_TYPE, KB_KEYBOARD_SUBTYPE
#else
#define KB_TYPE_FIELDS
#endif

#define KB_STATIC_ASSERT(cond, name) typedef char kb_assert_##name[(cond) ? 1 : -1]
#define KB_OFFSET(type, field) __builtin_offsetof(type, field)

/* Pointer-free records: identical in both trees, so present once in the image. */
typedef struct {
    KbByte Vk;
    KbByte ModBits;
} KbVkToBit;

typedef struct {
    KbByte Vsc;
    KbByte Pad;
    KbWord Vk;
} KbVscVk;

typedef struct {
    KbDword Both; /* low word: base character, high word: accent character */
    KbWord Composed;
    KbWord Flags;
} KbDeadKey;

#define KB_DEFINE_ROW(n)   \
    typedef struct {       \
        KbByte VirtualKey; \
        KbByte Attributes; \
        KbWord Chars[n];   \
    } KbVkToWchars##n
KB_DEFINE_ROW(1);
KB_DEFINE_ROW(2);
KB_DEFINE_ROW(3);
KB_DEFINE_ROW(5);

/* The tree with the build's own pointers. */
typedef struct {
    const KbVkToBit* VkToBit;
    KbWord MaxModBits; /* last valid index of ModNumber */
    KbByte ModNumber[8];
} KbModifiers;

typedef struct {
    const void* Rows;
    KbByte Modifications;
    KbByte RowSize;
} KbVkToWcharTable;

typedef struct {
    KbByte Vsc;
    const KbWord* Name;
} KbVscName;

typedef struct {
    const KbModifiers* CharModifiers;
    const KbVkToWcharTable* VkToWcharTable;
    const KbDeadKey* DeadKeys;
    const KbVscName* KeyNames;
    const KbVscName* KeyNamesExt;
    const KbWord* const* KeyNamesDead;
    const KbWord* ScanToVk;
    KbByte MaxScanToVk; /* number of entries of ScanToVk */
    const KbVscVk* ScanToVkE0;
    const KbVscVk* ScanToVkE1;
    KbDword LocaleFlags;
    KbByte LigatureMax;
    KbByte LigatureEntrySize;
    const void* Ligatures;
#if KB_HAS_KEYBOARD_TYPE
    KbDword Type;
    KbDword SubType;
#endif
} KbTables;

#ifdef __x86_64__
KB_STATIC_ASSERT(KB_OFFSET(KbTables, ScanToVk) == 0x30, tables_scan);
KB_STATIC_ASSERT(KB_OFFSET(KbTables, MaxScanToVk) == 0x38, tables_max);
KB_STATIC_ASSERT(KB_OFFSET(KbTables, LocaleFlags) == 0x50, tables_flags);
KB_STATIC_ASSERT(KB_OFFSET(KbTables, Ligatures) == 0x58, tables_ligatures);
#if KB_HAS_KEYBOARD_TYPE
KB_STATIC_ASSERT(KB_OFFSET(KbTables, SubType) == 0x64 && sizeof(KbTables) == 0x68, tables_type);
#endif
KB_STATIC_ASSERT(KB_OFFSET(KbModifiers, ModNumber) == 10, modifiers);
KB_STATIC_ASSERT(sizeof(KbVkToWcharTable) == 16 && sizeof(KbVscName) == 16, wide_records);
#else
KB_STATIC_ASSERT(KB_OFFSET(KbTables, ScanToVk) == 0x18, tables_scan);
KB_STATIC_ASSERT(KB_OFFSET(KbTables, MaxScanToVk) == 0x1C, tables_max);
KB_STATIC_ASSERT(KB_OFFSET(KbTables, LocaleFlags) == 0x28, tables_flags);
KB_STATIC_ASSERT(KB_OFFSET(KbTables, Ligatures) == 0x30, tables_ligatures);
#if KB_HAS_KEYBOARD_TYPE
KB_STATIC_ASSERT(KB_OFFSET(KbTables, SubType) == 0x38 && sizeof(KbTables) == 0x3C, tables_type);
#endif
KB_STATIC_ASSERT(KB_OFFSET(KbModifiers, ModNumber) == 6, modifiers);
KB_STATIC_ASSERT(sizeof(KbVkToWcharTable) == 8 && sizeof(KbVscName) == 8, records);

/* The wide tree of a 32-bit build: every pointer in an 8-byte slot. */
typedef union {
    const void* Ptr;
    KbQword Slot;
} __attribute__((aligned(8))) KbSlot;

typedef struct {
    KbSlot VkToBit;
    KbWord MaxModBits;
    KbByte ModNumber[8];
} KbModifiersWide;

typedef struct {
    KbSlot Rows;
    KbByte Modifications;
    KbByte RowSize;
} KbVkToWcharTableWide;

typedef struct {
    KbByte Vsc;
    KbSlot Name;
} KbVscNameWide;

typedef struct {
    KbSlot CharModifiers;
    KbSlot VkToWcharTable;
    KbSlot DeadKeys;
    KbSlot KeyNames;
    KbSlot KeyNamesExt;
    KbSlot KeyNamesDead;
    KbSlot ScanToVk;
    KbByte MaxScanToVk;
    KbSlot ScanToVkE0;
    KbSlot ScanToVkE1;
    KbDword LocaleFlags;
    KbByte LigatureMax;
    KbByte LigatureEntrySize;
    KbSlot Ligatures;
#if KB_HAS_KEYBOARD_TYPE
    KbDword Type;
    KbDword SubType;
#endif
} KbTablesWide;

KB_STATIC_ASSERT(KB_OFFSET(KbTablesWide, ScanToVk) == 0x30, wide_scan);
KB_STATIC_ASSERT(KB_OFFSET(KbTablesWide, MaxScanToVk) == 0x38, wide_max);
KB_STATIC_ASSERT(KB_OFFSET(KbTablesWide, ScanToVkE0) == 0x40, wide_e0);
KB_STATIC_ASSERT(KB_OFFSET(KbTablesWide, LocaleFlags) == 0x50, wide_flags);
KB_STATIC_ASSERT(KB_OFFSET(KbTablesWide, Ligatures) == 0x58, wide_ligatures);
#if KB_HAS_KEYBOARD_TYPE
KB_STATIC_ASSERT(KB_OFFSET(KbTablesWide, SubType) == 0x64 && sizeof(KbTablesWide) == 0x68,
                 wide_type);
#endif
KB_STATIC_ASSERT(KB_OFFSET(KbModifiersWide, ModNumber) == 10, wide_modifiers);
KB_STATIC_ASSERT(sizeof(KbVkToWcharTableWide) == 16 && sizeof(KbVscNameWide) == 16, wide_records);
#endif

KB_STATIC_ASSERT(sizeof(KbVscVk) == 4 && sizeof(KbDeadKey) == 8 && sizeof(KbVkToBit) == 2, flat);
KB_STATIC_ASSERT(sizeof(KbVkToWchars5) == 12 && sizeof(KbVkToWchars2) == 6, rows);

#endif
