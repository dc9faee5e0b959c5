#include "xml/markup_writer.h"

#include <libxml/globals.h>
#include <libxml/xmlIO.h>
#include <libxml/xmlsave.h>

#include <exception>

#include "xml/dom_error.h"

namespace qor::xml {

namespace {

// Writes a node's markup into the output buffer. libxml2 2.9.14 adds XML_SAVE_NO_EMPTY to every
// save while the calling thread's xmlSaveNoEmptyTags default is set (a host may set it), and offers
// no option to take it off again. So that default is cleared for the one call and put back before
// anything else runs on this thread; libxml2 keeps such defaults per thread, so no other thread
// can see the change.
void dump(xmlOutputBufferPtr output, xmlNodePtr node) {
    const int hostDefault = xmlSaveNoEmptyTags;
    xmlSaveNoEmptyTags = 0;
    xmlNodeDumpOutput(output, node->doc, node, 0, 0, "UTF-8");
    xmlSaveNoEmptyTags = hostDefault;
}

}  // namespace

MarkupWriter& MarkupWriter::instance() {
    static MarkupWriter writer;
    return writer;
}

MarkupWriter::~MarkupWriter() {
    discardOutput();
}

int MarkupWriter::append(void* writer, const char* bytes, int length) {
    std::string* target = static_cast<MarkupWriter*>(writer)->target_;
    try {
        target->append(bytes, static_cast<std::size_t>(length));
        return length;
    } catch (const std::exception&) {
        return -1;  // no exception crosses libxml2; the output buffer records the error
    }
}

void MarkupWriter::discardOutput() {
    if (output_ != nullptr) {
        target_ = nullptr;
        output_->writecallback = nullptr;  // nothing left to deliver
        xmlOutputBufferClose(output_);
        output_ = nullptr;
    }
}

std::string MarkupWriter::write(_xmlNode* node) {
    if (output_ == nullptr) {
        output_ = xmlOutputBufferCreateIO(append, nullptr, this, nullptr);
        if (output_ == nullptr) {
            throw DomError(DomError::kOutOfMemory);
        }
    }
    std::string markup;
    target_ = &markup;
    if (node->type == XML_DOCUMENT_NODE) {
        for (xmlNodePtr child = node->children; child != nullptr; child = child->next) {
            dump(output_, child);
            xmlOutputBufferWrite(output_, 1, "\n");
        }
    } else {
        dump(output_, node);
    }
    const bool written = xmlOutputBufferFlush(output_) >= 0 && output_->error == 0;
    target_ = nullptr;
    output_->written = 0;  // a running count that would otherwise grow without end
    if (!written) {
        discardOutput();  // an output buffer that failed once stays failed
        throw DomError(DomError::kOutOfMemory);
    }
    return markup;
}

}  // namespace qor::xml
