#include "PeImage.h"

#include <cstring>
#include <fstream>
#include <iterator>

namespace kbtest {
namespace {

constexpr uint64_t kMaxImageSize = 16 << 20;

template <typename T>
bool Get(const std::vector<uint8_t>& data, uint64_t offset, T& out) {
    if (offset > data.size() || sizeof(T) > data.size() - offset) return false;
    uint64_t value = 0;
    for (size_t i = 0; i < sizeof(T); ++i)
        value |= static_cast<uint64_t>(data[offset + i]) << (8 * i);
    out = static_cast<T>(value);
    return true;
}

template <typename T>
void Put(std::vector<uint8_t>& data, uint64_t offset, T value) {
    for (size_t i = 0; i < sizeof(T); ++i)
        data[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

bool ApplyRelocations(PeImage& image, uint32_t rva, uint32_t size, std::string& error) {
    const int64_t delta = static_cast<int64_t>(image.base - image.preferredBase);
    uint64_t at = rva;
    const uint64_t end = static_cast<uint64_t>(rva) + size;
    while (at + 8 <= end) {
        uint32_t page, blockSize;
        if (!Get(image.mapped, at, page) || !Get(image.mapped, at + 4, blockSize) ||
            blockSize < 8 || at + blockSize > end) {
            error = "malformed relocation block";
            return false;
        }
        for (uint64_t entry = at + 8; entry + 2 <= at + blockSize; entry += 2) {
            uint16_t word = 0;
            Get(image.mapped, entry, word);
            const uint64_t target = static_cast<uint64_t>(page) + (word & 0xFFF);
            switch (word >> 12) {
                case 0:  // padding
                    break;
                case 3: {  // 32-bit address
                    uint32_t value;
                    if (!Get(image.mapped, target, value)) {
                        error = "relocation outside the image";
                        return false;
                    }
                    Put(image.mapped, target, static_cast<uint32_t>(value + delta));
                    break;
                }
                case 10: {  // 64-bit address
                    uint64_t value;
                    if (!Get(image.mapped, target, value)) {
                        error = "relocation outside the image";
                        return false;
                    }
                    Put(image.mapped, target, static_cast<uint64_t>(value + delta));
                    break;
                }
                default:
                    error = "unexpected relocation type " + std::to_string(word >> 12);
                    return false;
            }
        }
        at += blockSize;
    }
    return true;
}

}  // namespace

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
}

bool LoadPeImage(const std::string& path, uint64_t base, PeImage& image, std::string& error) {
    return LoadPeBytes(ReadFileBytes(path), path, base, image, error);
}

bool LoadPeBytes(const std::vector<uint8_t>& file, const std::string& path, uint64_t base,
                 PeImage& image, std::string& error) {
    uint32_t peAt = 0, signature = 0;
    uint16_t sections = 0, optionalSize = 0, magic = 0;
    if (!Get(file, 0x3C, peAt) || !Get(file, peAt, signature) || signature != 0x4550 ||
        !Get(file, peAt + 4, image.machine) || !Get(file, peAt + 6, sections) ||
        !Get(file, peAt + 20, optionalSize) || !Get(file, peAt + 24, magic)) {
        error = path + ": not a PE image";
        return false;
    }
    const uint64_t optional = peAt + 24;
    const bool pe64 = magic == 0x20B;
    uint32_t sizeOfImage = 0, sizeOfHeaders = 0, relocRva = 0, relocSize = 0;
    bool ok = Get(file, optional + 56, sizeOfImage) && Get(file, optional + 60, sizeOfHeaders);
    if (pe64) {
        ok = ok && Get(file, optional + 24, image.preferredBase);
    } else {
        uint32_t base32 = 0;
        ok = ok && Get(file, optional + 28, base32);
        image.preferredBase = base32;
    }
    const uint64_t directories = optional + (pe64 ? 112 : 96);
    ok = ok && Get(file, directories + 5 * 8, relocRva) &&
         Get(file, directories + 5 * 8 + 4, relocSize);
    if (!ok || sizeOfImage > kMaxImageSize || sizeOfHeaders > file.size() ||
        sizeOfHeaders > sizeOfImage) {
        error = path + ": bad optional header";
        return false;
    }
    image.base = base != 0 ? base : image.preferredBase;
    image.mapped.assign(sizeOfImage, 0);
    std::memcpy(image.mapped.data(), file.data(), sizeOfHeaders);
    const uint64_t table = optional + optionalSize;
    for (uint16_t i = 0; i < sections; ++i) {
        uint32_t virtualSize, rva, rawSize, rawAt;
        const uint64_t at = table + 40ull * i;
        if (!Get(file, at + 8, virtualSize) || !Get(file, at + 12, rva) ||
            !Get(file, at + 16, rawSize) || !Get(file, at + 20, rawAt)) {
            error = path + ": bad section table";
            return false;
        }
        const uint64_t copy = rawSize < virtualSize ? rawSize : virtualSize;
        if (static_cast<uint64_t>(rawAt) + copy > file.size() ||
            static_cast<uint64_t>(rva) + virtualSize > sizeOfImage) {
            error = path + ": section outside the file or image";
            return false;
        }
        std::memcpy(image.mapped.data() + rva, file.data() + rawAt, copy);
    }
    if (image.base != image.preferredBase) {
        if (relocSize == 0) {
            error = path + ": cannot be rebased without relocations";
            return false;
        }
        if (!ApplyRelocations(image, relocRva, relocSize, error)) {
            error = path + ": " + error;
            return false;
        }
    }
    return true;
}

uint64_t FindExport(const PeImage& image, const std::string& name) {
    uint32_t peAt = 0, exportRva = 0, count = 0, functions = 0, names = 0, ordinals = 0;
    uint16_t magic = 0;
    const auto& m = image.mapped;
    if (!Get(m, 0x3C, peAt) || !Get(m, peAt + 24, magic)) return 0;
    const uint64_t directories = peAt + 24 + (magic == 0x20B ? 112 : 96);
    if (!Get(m, directories, exportRva) || exportRva == 0 || !Get(m, exportRva + 24, count) ||
        !Get(m, exportRva + 28, functions) || !Get(m, exportRva + 32, names) ||
        !Get(m, exportRva + 36, ordinals))
        return 0;
    for (uint32_t i = 0; i < count && i < 4096; ++i) {
        uint32_t nameRva = 0, functionRva = 0;
        uint16_t ordinal = 0;
        if (!Get(m, names + 4ull * i, nameRva) || nameRva >= m.size()) return 0;
        const char* text = reinterpret_cast<const char*>(m.data() + nameRva);
        const size_t room = m.size() - nameRva;
        if (strnlen(text, room) != name.size() ||
            name.compare(0, name.size(), text, name.size()) != 0)
            continue;
        if (!Get(m, ordinals + 2ull * i, ordinal) ||
            !Get(m, functions + 4ull * ordinal, functionRva))
            return 0;
        return image.base + functionRva;
    }
    return 0;
}

}  // namespace kbtest
