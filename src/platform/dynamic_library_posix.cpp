#include "platform/dynamic_library.h"

#include <dlfcn.h>
#include <link.h>

#include <utility>

#include "platform/utf8.h"

namespace qor::platform {
namespace {

std::string lastDlError(const char* fallback) {
    const char* text = dlerror();
    return text != nullptr ? std::string(text) : std::string(fallback);
}

struct SegmentSearch {
    const link_map* object;
    std::vector<DynamicLibrary::Segment>* segments;
    std::vector<DynamicLibrary::Segment>* executable;
    std::optional<LibraryVersion>* identity;
};

// True when [begin, begin + size) lies inside one loaded segment.
bool isMapped(const std::vector<DynamicLibrary::Segment>& segments, uintptr_t begin,
              uintptr_t size) {
    for (const DynamicLibrary::Segment& segment : segments) {
        if (begin >= segment.begin && begin <= segment.end && size <= segment.end - begin) {
            return true;
        }
    }
    return false;
}

// Collects the loaded segments of the object whose dynamic section is the one its link map
// names: every shared object has exactly one, at an address no other object occupies. Then
// looks for QOR's identity in its notes, where they are mapped.
int collectSegments(dl_phdr_info* info, std::size_t, void* data) {
    auto& search = *static_cast<SegmentSearch*>(data);
    const auto dynamic = reinterpret_cast<ElfW(Addr)>(search.object->l_ld);
    bool own = false;
    for (ElfW(Half) i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& header = info->dlpi_phdr[i];
        own = own || (header.p_type == PT_DYNAMIC && info->dlpi_addr + header.p_vaddr == dynamic);
    }
    if (!own) {
        return 0;
    }
    for (ElfW(Half) i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& header = info->dlpi_phdr[i];
        if (header.p_type == PT_LOAD) {
            const uintptr_t begin = info->dlpi_addr + header.p_vaddr;
            search.segments->push_back({begin, begin + header.p_memsz});
            if ((header.p_flags & PF_X) != 0) {
                search.executable->push_back({begin, begin + header.p_memsz});
            }
        }
    }
    for (ElfW(Half) i = 0; i < info->dlpi_phnum && !*search.identity; ++i) {
        const ElfW(Phdr)& header = info->dlpi_phdr[i];
        const uintptr_t begin = info->dlpi_addr + header.p_vaddr;
        if (header.p_type == PT_NOTE && isMapped(*search.segments, begin, header.p_memsz)) {
            *search.identity =
                identityInNotes({reinterpret_cast<const unsigned char*>(begin), header.p_memsz},
                                header.p_align == 8 ? 8 : 4);
        }
    }
    return 1;
}

bool holds(const std::vector<DynamicLibrary::Segment>& segments, const void* address) {
    const auto where = reinterpret_cast<uintptr_t>(address);
    for (const DynamicLibrary::Segment& segment : segments) {
        if (where >= segment.begin && where < segment.end) {
            return true;
        }
    }
    return false;
}

}  // namespace

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)),
      object_(std::exchange(other.object_, nullptr)),
      segments_(std::move(other.segments_)),
      executable_(std::move(other.executable_)),
      identity_(std::exchange(other.identity_, std::nullopt)),
      keepLoaded_(std::exchange(other.keepLoaded_, false)),
      error_(std::move(other.error_)) {}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
    if (this != &other) {
        drop();
        handle_ = std::exchange(other.handle_, nullptr);
        object_ = std::exchange(other.object_, nullptr);
        segments_ = std::move(other.segments_);
        executable_ = std::move(other.executable_);
        identity_ = std::exchange(other.identity_, std::nullopt);
        keepLoaded_ = std::exchange(other.keepLoaded_, false);
        error_ = std::move(other.error_);
    }
    return *this;
}

DynamicLibrary::~DynamicLibrary() {
    drop();
}

void DynamicLibrary::drop() {
    if (handle_ != nullptr && !keepLoaded_) {
        dlclose(handle_);
    }
    handle_ = nullptr;
    object_ = nullptr;
    segments_.clear();
    executable_.clear();
    identity_.reset();
}

DynamicLibrary DynamicLibrary::open(std::u16string_view path) {
    DynamicLibrary library;
    if (path.empty()) {
        library.error_ = "empty library path";
        return library;
    }
    const std::string utf8 = toUtf8(path);
    if (utf8.size() != std::char_traits<char>::length(utf8.c_str())) {
        library.error_ = "library path contains a zero character";
        return library;
    }
    void* handle = dlopen(utf8.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        library.error_ = lastDlError("dlopen failed");
        return library;
    }
    link_map* object = nullptr;
    if (dlinfo(handle, RTLD_DI_LINKMAP, &object) != 0 || object == nullptr) {
        library.error_ = lastDlError("no link map");
        dlclose(handle);
        return library;
    }
    library.handle_ = handle;
    library.object_ = object;
    SegmentSearch search{object, &library.segments_, &library.executable_, &library.identity_};
    dl_iterate_phdr(collectSegments, &search);
    return library;
}

void* DynamicLibrary::function(const char* name) const {
    if (handle_ == nullptr) {
        return nullptr;
    }
    // dlsym searches the library and then its dependencies, in load order; a definition in the
    // library itself always comes first. So the answer is the library's own exactly when it lies
    // in the library's own mapping, and its code exactly when it lies in a segment that holds
    // code.
    void* address = dlsym(handle_, name);
    return holds(executable_, address) ? address : nullptr;
}

bool DynamicLibrary::contains(const void* address) const {
    // The segments the loader mapped for this very object, as dladdr and _dl_find_object see
    // them, but without their cost on the path of every message to an applet.
    return holds(segments_, address);
}

bool DynamicLibrary::close() {
    if (handle_ == nullptr) {
        return false;
    }
    if (dlclose(handle_) != 0) {
        error_ = lastDlError("dlclose failed");
        return false;
    }
    handle_ = nullptr;
    object_ = nullptr;
    segments_.clear();
    executable_.clear();
    identity_.reset();
    return true;
}

}  // namespace qor::platform
