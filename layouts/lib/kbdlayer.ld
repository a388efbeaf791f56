/* Layout library image: code and tables in one section, as the system's layout loader expects of
 * a layout library, then the export directory, the resources and the base relocations. */
SECTIONS
{
  . = SIZEOF_HEADERS;
  . = ALIGN(__section_alignment__);
  .data __image_base__ + ( __section_alignment__ < 0x1000 ? . : __section_alignment__ ) :
  {
    *(.text) *(.text.*)
    *(.rdata) *(.rdata$*) *(.rodata) *(.rodata.*)
    *(.data) *(.data.*)
    *(.bss) *(.bss.*) *(COMMON)
  }
  .edata BLOCK(__section_alignment__) : { *(.edata) }
  .rsrc BLOCK(__section_alignment__) : { *(.rsrc) *(.rsrc$*) }
  .reloc BLOCK(__section_alignment__) : { *(.reloc) }
  /DISCARD/ :
  {
    *(.debug*) *(.zdebug*) *(.comment) *(.note*) *(.eh_frame*) *(.pdata*) *(.xdata*)
    *(.idata*) *(.CRT*) *(.tls*) *(.drectve) *(.gnu*) *(.llvm*)
  }
}
