// Run-length codec with one marker byte, file to file through two 4096-byte
// block buffers (neither file is held whole in memory).
//
// Tokens: a literal byte b != 0xCF; 0xCF 0x00 = one 0xCF; 0xCF n b = b, n times
// (n 1..255; the encoder writes runs of 4..255 only).
#pragma once

#include <string>

namespace wenlo {

inline constexpr unsigned char RleMarker = 0xCF;

// Encodes the whole of source into target (replacing it). A missing source
// encodes as empty.
void CompressFile(const std::string& source, const std::string& target);
// Decodes the whole of source into target (replacing it). A source that ends
// inside a token yields what was decoded before it.
void ExpandFile(const std::string& source, const std::string& target);
// Deletes path, ignoring any error.
void DeleteFileQuietly(const std::string& path);

}  // namespace wenlo
