// Arbitrary bytes as a library file against the reader of QOR's identity, which QOR runs on every
// applet's file before loading it: as an ELF file (through the real file reader too), as a PE
// file and as a mapped PE image, and as a bare sequence of notes. It must not crash or read past
// the bytes, the file reader must answer what the reader over the same bytes in memory answers,
// and an identity is only ever found where the bytes hold QOR's whole note.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <span>
#include <string>

#include "platform/library_identity.h"
#include "platform/utf8.h"

namespace {

using namespace qor::platform;

// The note's name, type-independent part and version as they must appear somewhere in the bytes.
bool holdsNote(std::span<const unsigned char> bytes, const LibraryVersion& version) {
    unsigned char expected[sizeof kIdentityNoteName + sizeof kIdentityMark + 12];
    std::memcpy(expected, kIdentityNoteName, sizeof kIdentityNoteName);
    std::memcpy(expected + sizeof kIdentityNoteName, kIdentityMark, sizeof kIdentityMark);
    const uint32_t numbers[3] = {version.major, version.minor, version.patch};
    for (int i = 0; i < 3; ++i) {
        for (int b = 0; b < 4; ++b) {
            expected[sizeof kIdentityNoteName + sizeof kIdentityMark + 4 * i + b] =
                static_cast<unsigned char>(numbers[i] >> (8 * b));
        }
    }
    // Name and description are adjacent when the name's padding is none (4 bytes, aligned).
    return std::search(bytes.begin(), bytes.end(), std::begin(expected), std::end(expected)) !=
           bytes.end();
}

void check(std::span<const unsigned char> bytes, const std::optional<LibraryVersion>& found) {
    if (found && !holdsNote(bytes, *found)) {
        std::abort();
    }
}

const std::string& scratchFile() {
    static const std::string path = [] {
        char name[] = "/tmp/library_identity_fuzzer_XXXXXX";
        const int descriptor = mkstemp(name);
        if (descriptor < 0) {
            std::abort();
        }
        close(descriptor);
        return std::string(name);
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::span<const unsigned char> bytes(data, size);
    const MemoryByteSource source(bytes);

    const std::optional<LibraryVersion> elf = identityInElfFile(source);
    check(bytes, elf);
    check(bytes, identityInPeImage(source, false));
    check(bytes, identityInPeImage(source, true));
    for (const std::size_t alignment : {4u, 8u}) {
        check(bytes, identityInNotes(bytes, alignment));
    }
    for (const PeSection& section : peSections(source)) {
        (void)section;
    }

    // The same bytes as a file on disk, read as QOR reads an applet's file.
    {
        std::ofstream(scratchFile(), std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    const IdentityReading reading = readLibraryIdentity(fromUtf8(scratchFile()));
    const IdentityReading::Kind expected =
        elf ? IdentityReading::Kind::kQor : IdentityReading::Kind::kNotQor;
    if (reading.kind != expected || (elf && !(reading.version == *elf))) {
        std::abort();
    }
    return 0;
}
