// Run-length codec with one marker byte, file to file through two 4096-byte
// block buffers: neither file is ever held whole in memory, and each file is
// read or written in blocks of 4096 bytes (the last one shorter).
//
// Tokens, read from the first byte of a coded file to the last; there is no
// header, length or checksum:
//   b         (b != 0xCF)  the byte b once
//   0xCF 0x00              one 0xCF
//   0xCF n b  (n 1..255)   the byte b, n times
// The encoder writes runs of 4..255 equal bytes as run tokens and shorter
// pieces as literals (every 0xCF escaped); a longer run is cut into pieces of
// 255 from its start. The decoder accepts runs of any length 1..255.
//
// These three report nothing. Code that must know whether a file was written
// (the state file) uses the checked variants of savestate/rle_checked_internal.h.
#pragma once

#include <string>

namespace wenlo {

inline constexpr unsigned char RleMarker = 0xCF;

// Encodes the whole of source into target (replacing it). A missing or
// unreadable source encodes as empty and leaves an empty target.
void CompressFile(const std::string& source, const std::string& target);
// Decodes the whole of source into target (replacing it). A source that ends
// inside a token (0xCF last, or 0xCF n with no value byte) yields what was
// decoded before that token. A missing source leaves an empty target.
void ExpandFile(const std::string& source, const std::string& target);
// Deletes path, ignoring any error (a missing file, a folder, no permission).
void DeleteFileQuietly(const std::string& path);

}  // namespace wenlo
