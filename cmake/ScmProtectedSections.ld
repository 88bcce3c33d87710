/* Added to the default link of both programs (and of the test binary of the
   memory check): brackets the five protected sections with symbols and
   reserves, after .bss, one writable u32 per started 16 KiB of each for the
   memory self-test's reference CRCs. A section the image lacks is empty, with
   bounds at the end of the section before it. GNU ld features only. */
SECTIONS
{
  .scm_crc_tables (NOLOAD) : ALIGN(16)
  {
    LdInitCrcStart = .;
    . += ((SIZEOF(.init) + 16383) / 16384) * 4;
    LdInitCrcEnd = .;
    LdTextCrcStart = .;
    . += ((SIZEOF(.text) + 16383) / 16384) * 4;
    LdTextCrcEnd = .;
    LdFiniCrcStart = .;
    . += ((SIZEOF(.fini) + 16383) / 16384) * 4;
    LdFiniCrcEnd = .;
    LdRoDataCrcStart = .;
    . += ((SIZEOF(.rodata) + 16383) / 16384) * 4;
    LdRoDataCrcEnd = .;
    LdRoData1CrcStart = .;
    . += ((SIZEOF(.rodata1) + 16383) / 16384) * 4;
    LdRoData1CrcEnd = .;
  }
}
INSERT AFTER .bss;

LdInitStart = SIZEOF(.init) ? ADDR(.init) : ADDR(.text);
LdInitEnd = LdInitStart + SIZEOF(.init);
LdTextStart = ADDR(.text);
LdTextEnd = ADDR(.text) + SIZEOF(.text);
LdFiniStart = SIZEOF(.fini) ? ADDR(.fini) : LdTextEnd;
LdFiniEnd = LdFiniStart + SIZEOF(.fini);
LdRoDataStart = ADDR(.rodata);
LdRoDataEnd = ADDR(.rodata) + SIZEOF(.rodata);
LdRoData1Start = SIZEOF(.rodata1) ? ADDR(.rodata1) : LdRoDataEnd;
LdRoData1End = LdRoData1Start + SIZEOF(.rodata1);
