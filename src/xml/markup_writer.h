#pragma once

#include <string>

struct _xmlNode;
struct _xmlOutputBuffer;

namespace qor::xml {

// Writes nodes as markup with one reused libxml2 output buffer. libxml2's save functions make a
// fresh output buffer for every call, several kilobytes each time, which is enough to make the
// allocator tidy up its free lists on every message; the reused one is allocated once. Nothing
// is indented, no XML declaration is written, and text stays UTF-8 without character references.
class MarkupWriter {
  public:
    static MarkupWriter& instance();

    // The UTF-8 markup of a node and everything below it; for a document, each of its children's
    // followed by a line feed. Throws DomError when memory runs out.
    std::string write(_xmlNode* node);

    MarkupWriter(const MarkupWriter&) = delete;
    MarkupWriter& operator=(const MarkupWriter&) = delete;

  private:
    MarkupWriter() = default;
    ~MarkupWriter();

    // The output buffer's sink: appends to `target_`.
    static int append(void* writer, const char* bytes, int length);
    void discardOutput();

    _xmlOutputBuffer* output_ = nullptr;
    std::string* target_ = nullptr;
};

}  // namespace qor::xml
