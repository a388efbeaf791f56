#pragma once

#include <cstdint>

// Deciphers a stored blob with the given key, checks it and inflates it. On success returns a
// malloc'ed buffer of plainSize bytes (plus one or two unwritten bytes, never less than 2 bytes
// in all), sets size to plainSize and stores the header's user value when userValue is given.
// On failure returns null and leaves size and *userValue as they were. Never reads outside the
// blob's size bytes or the scratch copy, whatever the header says.
std::uint8_t* UnpackBlob(const std::uint8_t* key, std::uint32_t keyLength, const std::uint8_t* blob,
                         std::uint32_t& size, std::uint32_t* userValue);
