#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qor::platform {

// The version a QOR library carries in its identity.
struct LibraryVersion {
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t patch = 0;

    bool operator==(const LibraryVersion&) const = default;
};

// QOR's identity: one ELF note, laid out the same in libqor.so (a note section of its own, in a
// PT_NOTE segment) and in qor.dll (the whole of a section named ".qorid"). It survives copying and
// renaming, and no library carries it unless it holds QOR's own code. The description is a
// 16-byte mark followed by the version, three 32-bit numbers, all little-endian.
inline constexpr char kIdentityNoteName[4] = {'Q', 'O', 'R', '\0'};
inline constexpr uint32_t kIdentityNoteType = 0x5149'4401;  // "QID" and a format number
inline constexpr unsigned char kIdentityMark[16] = {'Q', 'O', 'R', ' ', 'm', 'e', 's', 's',
                                                    'a', 'g', 'e', ' ', 'b', 'u', 's', 0x01};
inline constexpr char kIdentitySectionName[8] = {'.', 'q', 'o', 'r', 'i', 'd', '\0', '\0'};

// The note as the library holds it, 4-byte aligned (namesz, descsz, type, name, description).
struct IdentityNote {
    uint32_t nameSize;
    uint32_t descriptionSize;
    uint32_t type;
    char name[4];
    unsigned char mark[16];
    uint32_t version[3];
};
static_assert(sizeof(IdentityNote) == 44);

// Random access to the bytes of a library: its file, or its image as the loader mapped it.
class ByteSource {
  public:
    virtual ~ByteSource() = default;
    // Copies `size` bytes from `offset` into `out`; false when they are not all there.
    virtual bool read(uint64_t offset, void* out, std::size_t size) const = 0;
};

// A source over bytes in memory (a test's or a fuzzer's, or a mapped image of known size).
class MemoryByteSource : public ByteSource {
  public:
    explicit MemoryByteSource(std::span<const unsigned char> bytes) : bytes_(bytes) {}
    bool read(uint64_t offset, void* out, std::size_t size) const override;

  private:
    std::span<const unsigned char> bytes_;
};

// The identity among a sequence of ELF notes (a PT_NOTE segment, or the ".qorid" section), each
// padded to `alignment` (4 or 8). Nothing when no note is QOR's, or the sequence is malformed
// before one is.
std::optional<LibraryVersion> identityInNotes(std::span<const unsigned char> notes,
                                              std::size_t alignment);

// The identity of an ELF file (32 or 64 bits, little-endian), read from the notes its program
// headers name. Nothing when it is no such file or holds no identity.
std::optional<LibraryVersion> identityInElfFile(const ByteSource& file);

// One section of a PE image, from its section table.
struct PeSection {
    char name[8];
    uint32_t virtualAddress;
    uint32_t virtualSize;
    uint32_t rawSize;
    uint32_t rawOffset;
    uint32_t characteristics;
};
inline constexpr uint32_t kPeSectionExecutable = 0x2000'0000;  // IMAGE_SCN_MEM_EXECUTE

// The section table of a PE image; empty when it is no PE image. The same for a file and for the
// image the loader mapped, whose headers sit at its base as in the file.
std::vector<PeSection> peSections(const ByteSource& image);

// The identity of a PE image: the ".qorid" section, read where the file (mapped == false) or the
// mapped image (mapped == true) holds it.
std::optional<LibraryVersion> identityInPeImage(const ByteSource& image, bool mapped);

// What the file of a library says about it, without loading it.
struct IdentityReading {
    enum class Kind {
        kQor,         // a QOR library, of `version`
        kNotQor,      // a readable file without QOR's identity
        kUnreadable,  // no regular file there, or it cannot be read: `error` tells why
    };
    Kind kind = Kind::kUnreadable;
    LibraryVersion version;
    std::string error;

    static IdentityReading unreadable(std::string reason);
    // kQor with the version found, kNotQor without one.
    static IdentityReading of(const std::optional<LibraryVersion>& found);
};

// Reads the identity of the library file at a path, without running any of its code: on Linux
// the file itself (an ELF file), on Windows the image mapped as data, found as LoadLibraryW would
// find it.
IdentityReading readLibraryIdentity(std::u16string_view path);

}  // namespace qor::platform
