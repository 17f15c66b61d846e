// The module's two checksum engines: the CRC-32 of a file's bytes (the checksum
// members of File and their checksum file) with its running state, and the
// 16-bit CRC of a text (the text checksums of Text).
#pragma once
#include <windows.h>
#include <oaidl.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qm {

// CRC-32 of IEEE 802.3 (reflected, polynomial 0xEDB88320) continued over data:
// state is the register before the final complement (0xFFFFFFFF to begin).
// Folds with carry-less multiplication where the processor has it, otherwise
// slicing-by-8; both give the same value for every length and alignment.
uint32_t crc32_update(uint32_t state, const void* data, size_t size) noexcept;
// The paths by name: folding in 128-bit registers only where cpu::pclmul(), in
// 512-bit registers only where cpu::avx512_clmul().
uint32_t crc32_update_table(uint32_t state, const void* data, size_t size) noexcept;
uint32_t crc32_update_folding(uint32_t state, const void* data, size_t size) noexcept;
uint32_t crc32_update_folding_wide(uint32_t state, const void* data, size_t size) noexcept;

// The CRC-32 of a file (a Variant holding its path) as 8 upper-case hexadecimal
// digits; "00000000" for an empty file (which is not opened). A failure is
// reported (basPModule, "SFV") and gives "ERROR " & number & " (" & text & ")".
// The running state starts anew and ends on the file's register. Files of any
// length; yields to the message loop once per 1,024,000 bytes read and at
// least once per file.
std::wstring SFV(const VARIANT& file);

// Continues the running state over every element of a Byte array (9 for an
// undimensioned one) and gives the complement of the new state.
long CRC32_Update(const SAFEARRAY* data);
long CRC32_UpdateFunc(const SAFEARRAY* data);

// CRC-16/UMTS (polynomial 0x8005, no reflection, start 0, no final XOR) of the
// low 8 bits of each character's ANSI code: 0 to 65535, 0 for "".
long CRC16FromText(std::wstring_view text);

}  // namespace qm
