// Reading QOR's identity out of a library's bytes. Every number in the bytes is checked before it
// is used: the bytes may be any file at all.

#include "platform/library_identity.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace qor::platform {
namespace {

// Notes of a segment or section beyond this size are not read: QOR's own are a few hundred bytes.
constexpr uint64_t kMaxNoteBytes = 64 * 1024;
// More program headers or sections than any real library has.
constexpr uint32_t kMaxProgramHeaders = 1024;
constexpr uint32_t kMaxSections = 1024;

constexpr uint32_t kPtNote = 4;

uint16_t little16(const unsigned char* bytes) {
    return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

uint32_t little32(const unsigned char* bytes) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

uint64_t little64(const unsigned char* bytes) {
    return static_cast<uint64_t>(little32(bytes)) | static_cast<uint64_t>(little32(bytes + 4))
                                                        << 32;
}

uint64_t padded(uint64_t size, std::size_t alignment) {
    return (size + alignment - 1) / alignment * alignment;
}

// The notes of one region of the source, read whole when they are of a sane size.
std::optional<LibraryVersion> identityInRegion(const ByteSource& source, uint64_t offset,
                                               uint64_t size, std::size_t alignment) {
    if (size == 0 || size > kMaxNoteBytes) {
        return std::nullopt;
    }
    std::vector<unsigned char> notes(static_cast<std::size_t>(size));
    if (!source.read(offset, notes.data(), notes.size())) {
        return std::nullopt;
    }
    return identityInNotes(notes, alignment);
}

}  // namespace

bool MemoryByteSource::read(uint64_t offset, void* out, std::size_t size) const {
    if (offset > bytes_.size() || size > bytes_.size() - offset) {
        return false;
    }
    std::memcpy(out, bytes_.data() + offset, size);
    return true;
}

IdentityReading IdentityReading::unreadable(std::string reason) {
    IdentityReading reading;
    reading.error = std::move(reason);
    return reading;
}

IdentityReading IdentityReading::of(const std::optional<LibraryVersion>& found) {
    IdentityReading reading;
    reading.kind = found ? Kind::kQor : Kind::kNotQor;
    reading.version = found.value_or(LibraryVersion{});
    return reading;
}

std::optional<LibraryVersion> identityInNotes(std::span<const unsigned char> notes,
                                              std::size_t alignment) {
    if (alignment != 4 && alignment != 8) {
        return std::nullopt;
    }
    constexpr uint64_t kHeader = 12;
    uint64_t at = 0;
    while (notes.size() - at >= kHeader) {
        const unsigned char* header = notes.data() + at;
        const uint64_t nameSize = little32(header);
        const uint64_t descriptionSize = little32(header + 4);
        const uint32_t type = little32(header + 8);
        const uint64_t nameAt = at + kHeader;
        const uint64_t descriptionAt = nameAt + padded(nameSize, alignment);
        const uint64_t end = descriptionAt + padded(descriptionSize, alignment);
        if (end > notes.size()) {
            return std::nullopt;
        }
        if (type == kIdentityNoteType && nameSize == sizeof kIdentityNoteName &&
            descriptionSize == sizeof kIdentityMark + 12 &&
            std::memcmp(notes.data() + nameAt, kIdentityNoteName, sizeof kIdentityNoteName) == 0 &&
            std::memcmp(notes.data() + descriptionAt, kIdentityMark, sizeof kIdentityMark) == 0) {
            const unsigned char* version = notes.data() + descriptionAt + sizeof kIdentityMark;
            return LibraryVersion{little32(version), little32(version + 4), little32(version + 8)};
        }
        at = end;
    }
    return std::nullopt;
}

std::optional<LibraryVersion> identityInElfFile(const ByteSource& file) {
    unsigned char header[64];
    if (!file.read(0, header, 16) || std::memcmp(header,
                                                 "\x7f"
                                                 "ELF",
                                                 4) != 0) {
        return std::nullopt;
    }
    const bool wide = header[4] == 2;                   // ELFCLASS64
    if ((header[4] != 1 && !wide) || header[5] != 1) {  // ELFCLASS32, ELFDATA2LSB
        return std::nullopt;
    }
    if (!file.read(0, header, wide ? 64 : 52)) {
        return std::nullopt;
    }
    const uint64_t tableAt = wide ? little64(header + 32) : little32(header + 28);
    const uint32_t entrySize = little16(header + (wide ? 54 : 42));
    const uint32_t count = little16(header + (wide ? 56 : 44));
    const uint32_t minimumEntry = wide ? 56 : 32;
    if (entrySize < minimumEntry || count > kMaxProgramHeaders) {
        return std::nullopt;
    }
    for (uint32_t i = 0; i < count; ++i) {
        unsigned char entry[56];
        if (!file.read(tableAt + static_cast<uint64_t>(i) * entrySize, entry, minimumEntry)) {
            return std::nullopt;
        }
        if (little32(entry) != kPtNote) {
            continue;
        }
        const uint64_t offset = wide ? little64(entry + 8) : little32(entry + 4);
        const uint64_t size = wide ? little64(entry + 32) : little32(entry + 16);
        const uint64_t alignment = wide ? little64(entry + 48) : little32(entry + 28);
        if (auto version = identityInRegion(file, offset, size, alignment == 8 ? 8 : 4)) {
            return version;
        }
    }
    return std::nullopt;
}

std::vector<PeSection> peSections(const ByteSource& image) {
    unsigned char dos[64];
    if (!image.read(0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') {
        return {};
    }
    const uint64_t peAt = little32(dos + 0x3c);
    unsigned char file[24];
    if (!image.read(peAt, file, sizeof file) || std::memcmp(file, "PE\0\0", 4) != 0) {
        return {};
    }
    const uint32_t count = little16(file + 6);
    const uint64_t tableAt = peAt + sizeof file + little16(file + 20);
    if (count > kMaxSections) {
        return {};
    }
    std::vector<PeSection> sections;
    for (uint32_t i = 0; i < count; ++i) {
        unsigned char entry[40];
        if (!image.read(tableAt + static_cast<uint64_t>(i) * sizeof entry, entry, sizeof entry)) {
            return {};
        }
        PeSection section{};
        std::memcpy(section.name, entry, sizeof section.name);
        section.virtualSize = little32(entry + 8);
        section.virtualAddress = little32(entry + 12);
        section.rawSize = little32(entry + 16);
        section.rawOffset = little32(entry + 20);
        section.characteristics = little32(entry + 36);
        sections.push_back(section);
    }
    return sections;
}

std::optional<LibraryVersion> identityInPeImage(const ByteSource& image, bool mapped) {
    for (const PeSection& section : peSections(image)) {
        if (std::memcmp(section.name, kIdentitySectionName, sizeof section.name) != 0) {
            continue;
        }
        // The file pads a section to its file alignment, the image to its page: the note's own
        // size is the section's virtual size, bounded by what the file holds.
        const uint64_t size = std::min(section.virtualSize, section.rawSize);
        const uint64_t offset = mapped ? section.virtualAddress : section.rawOffset;
        if (auto version = identityInRegion(image, offset, size, 4)) {
            return version;
        }
    }
    return std::nullopt;
}

}  // namespace qor::platform
