#include "markup_writer.h"

#include <msxml2.h>

#include "bstr.h"
#include "com_ptr.h"
#include "dom_calls.h"
#include "xml/dom_error.h"

namespace qor::xml {
namespace {

void appendEscaped(std::u16string& out, const std::u16string& text, bool attribute) {
    for (const char16_t unit : text) {
        switch (unit) {
            case u'<':
                out += u"&lt;";
                break;
            case u'>':
                out += u"&gt;";
                break;
            case u'&':
                out += u"&amp;";
                break;
            case u'\r':
                out += u"&#13;";
                break;
            case u'"':
                out += attribute ? u"&quot;" : u"\"";
                break;
            case u'\n':
                out += attribute ? u"&#10;" : u"\n";
                break;
            case u'\t':
                out += attribute ? u"&#9;" : u"\t";
                break;
            default:
                out.push_back(unit);
        }
    }
}

class MarkupWriter {
  public:
    std::u16string take() { return std::move(out_); }

    void write(IXMLDOMNode* node) {
        DOMNodeType type = NODE_INVALID;
        check(node->get_nodeType(&type));
        switch (type) {
            case NODE_DOCUMENT:
            case NODE_DOCUMENT_FRAGMENT:
                writeChildren(node, type == NODE_DOCUMENT ? u"\n" : u"");
                break;
            case NODE_ELEMENT:
                writeElement(node);
                break;
            case NODE_ATTRIBUTE:
                writeAttribute(node);
                break;
            case NODE_TEXT:
                appendEscaped(out_, valueOf(node), false);
                break;
            case NODE_CDATA_SECTION:
                out_ += u"<![CDATA[" + valueOf(node) + u"]]>";
                break;
            case NODE_COMMENT:
                out_ += u"<!--" + valueOf(node) + u"-->";
                break;
            case NODE_PROCESSING_INSTRUCTION: {
                const std::u16string target = nameOf(node);
                if (target == u"xml") {
                    break;  // the DOM keeps a parsed XML declaration as a node: never written
                }
                const std::u16string data = valueOf(node);
                out_ += u"<?" + target + (data.empty() ? u"" : u" " + data) + u"?>";
                break;
            }
            default:
                break;  // no declaration, entity or notation is ever loaded
        }
    }

  private:
    void writeChildren(IXMLDOMNode* node, const char16_t* after) {
        ComPtr<IXMLDOMNode> child;
        check(node->get_firstChild(child.put()));
        while (child) {
            const std::size_t before = out_.size();
            write(child.get());
            if (out_.size() != before) {
                out_ += after;
            }
            ComPtr<IXMLDOMNode> next;
            check(child->get_nextSibling(next.put()));
            child = std::move(next);
        }
    }

    void writeAttribute(IXMLDOMNode* attribute) {
        out_ += nameOf(attribute) + u"=\"";
        appendEscaped(out_, valueOf(attribute), true);
        out_ += u"\"";
    }

    void writeElement(IXMLDOMNode* element) {
        const std::u16string name = nameOf(element);
        out_ += u"<" + name;
        ComPtr<IXMLDOMNamedNodeMap> attributes;
        check(element->get_attributes(attributes.put()));
        long count = 0;
        if (attributes) {
            check(attributes->get_length(&count));
        }
        for (long index = 0; index < count; ++index) {
            ComPtr<IXMLDOMNode> attribute;
            check(attributes->get_item(index, attribute.put()));
            if (attribute) {
                out_ += u" ";
                writeAttribute(attribute.get());
            }
        }
        VARIANT_BOOL hasChildren = VARIANT_FALSE;
        check(element->hasChildNodes(&hasChildren));
        if (hasChildren != VARIANT_TRUE) {
            out_ += u"/>";
            return;
        }
        out_ += u">";
        writeChildren(element, u"");
        out_ += u"</" + name + u">";
    }

    std::u16string out_;
};

}  // namespace

std::u16string markupOf(IXMLDOMNode* node) {
    MarkupWriter writer;
    writer.write(node);
    return writer.take();
}

}  // namespace qor::xml
