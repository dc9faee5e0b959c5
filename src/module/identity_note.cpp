// QOR's identity in its own library: a note that readers find in the file before loading it, so
// that a copy of QOR, under any name and in any folder, is never taken for an applet.

#include "platform/library_identity.h"
#include "qor/plugin.h"

namespace qor {
namespace {

using platform::IdentityNote;

#if defined(_WIN32)
#define QOR_IDENTITY_SECTION ".qorid"
#else
// The assembler gives a section whose name starts with ".note" the note type; the linker then
// puts it in a PT_NOTE segment.
#define QOR_IDENTITY_SECTION ".note.qor.identity"
#endif

constexpr IdentityNote makeNote() {
    IdentityNote note{};
    note.nameSize = sizeof note.name;
    note.descriptionSize = sizeof note.mark + sizeof note.version;
    note.type = platform::kIdentityNoteType;
    for (std::size_t i = 0; i < sizeof note.name; ++i) {
        note.name[i] = platform::kIdentityNoteName[i];
    }
    for (std::size_t i = 0; i < sizeof note.mark; ++i) {
        note.mark[i] = platform::kIdentityMark[i];
    }
    note.version[0] = QOR_VERSION_MAJOR;
    note.version[1] = QOR_VERSION_MINOR;
    note.version[2] = QOR_VERSION_PATCH;
    return note;
}

// Kept by the compiler and the linker though nothing refers to it; aligned as notes are, never
// more (the compiler would align an object of its size to 32 bytes).
[[gnu::used, gnu::section(QOR_IDENTITY_SECTION),
  gnu::aligned(4)]] constexpr IdentityNote kIdentity = makeNote();

}  // namespace
}  // namespace qor
