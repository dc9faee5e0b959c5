#include "xml/markup_writer.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "xml/markup_escape.h"
#include "xml/namespace_lookup.h"
#include "xml/xml_name.h"

namespace qor::xml {

namespace {

class MarkupWriter {
  public:
    // `standsAlone`: the node written is an element below others.
    explicit MarkupWriter(bool standsAlone) : hoist_(standsAlone) {}

    std::u16string take() { return std::move(out_); }

    void write(dom::RawNode node) {
        switch (dom::kindOf(node)) {
            case dom::Kind::kDocument:
                writeSiblings(dom::firstChild(node), u"\n");
                break;
            case dom::Kind::kElement:
                writeElement(node);
                break;
            case dom::Kind::kText:
                appendEscaped(out_, dom::valueOf(node), false);
                break;
            case dom::Kind::kCdata:
                out_.append(u"<![CDATA[").append(dom::valueOf(node)).append(u"]]>");
                break;
            case dom::Kind::kComment:
                out_.append(u"<!--").append(dom::valueOf(node)).append(u"-->");
                break;
            case dom::Kind::kProcessingInstruction: {
                const std::u16string target = dom::nameOf(node);
                if (target == u"xml") {
                    break;  // a DOM may keep a parsed XML declaration as a node: never written
                }
                const std::u16string data = dom::valueOf(node);
                out_.append(u"<?").append(target);
                if (!data.empty()) {
                    out_.append(u" ").append(data);
                }
                out_.append(u"?>");
                break;
            }
            case dom::Kind::kOther:
                break;  // no declaration, entity or notation is ever loaded
        }
    }

  private:
    // `child` and the siblings after it, each followed by `after` when it wrote anything.
    void writeSiblings(dom::NodeRef child, std::u16string_view after) {
        for (; child; child = dom::nextSibling(child.get())) {
            const std::size_t before = out_.size();
            write(child.get());
            if (out_.size() != before) {
                out_.append(after);
            }
        }
    }

    // The namespace a name of `element` (or of one of its attributes) with this prefix stands
    // for: the DOM's own, or for a name the DOM left without one, what the prefix is bound to
    // where the element stands.
    static std::u16string namespaceFor(std::u16string uri, dom::RawNode element,
                                       std::u16string_view prefix) {
        if (uri.empty() && !prefix.empty()) {
            uri = namespaceBoundAt(element, prefix).value_or(std::u16string());
        }
        return uri;
    }

    // What a prefix is bound to in the markup written so far.
    std::u16string_view boundInOutput(std::u16string_view prefix) const {
        if (prefix == u"xml") {
            return u"http://www.w3.org/XML/1998/namespace";
        }
        for (auto binding = scope_.rbegin(); binding != scope_.rend(); ++binding) {
            if (binding->first == prefix) {
                return binding->second;
            }
        }
        return {};
    }

    // True when the start tags from `mark` on declare the prefix already.
    bool declaredSince(std::u16string_view prefix, std::size_t mark) const {
        return std::any_of(scope_.begin() + static_cast<std::ptrdiff_t>(mark), scope_.end(),
                           [&](const auto& binding) { return binding.first == prefix; });
    }

    // The name to write for an element's or attribute's `name` in namespace `uri`: the name
    // itself, its prefix bound in this start tag where the markup written so far binds it to
    // something else; under a fresh prefix where this start tag binds the prefix to another name
    // already (a DOM's moves can leave one prefix standing for two names on one element). A
    // prefix is never bound to no name ("xmlns:p=\"\"" is no declaration).
    std::u16string nameFor(const std::u16string& name, const std::u16string& uri,
                           std::size_t mark) {
        const std::u16string_view prefix = prefixOf(name);
        if ((!prefix.empty() && uri.empty()) || boundInOutput(prefix) == uri) {
            return name;
        }
        if (!declaredSince(prefix, mark)) {
            scope_.emplace_back(prefix, uri);
            return name;
        }
        if (prefix.empty()) {
            return name;  // an unprefixed name has no other spelling
        }
        std::u16string fresh;
        for (int n = 1; fresh.empty() || declaredSince(fresh, mark); ++n) {
            const std::string digits = std::to_string(n);
            fresh = u"ns" + std::u16string(digits.begin(), digits.end());
        }
        scope_.emplace_back(fresh, uri);
        return fresh + name.substr(prefix.size());
    }

    void writeDeclaration(const std::pair<std::u16string, std::u16string>& binding) {
        out_.append(binding.first.empty() ? u" xmlns" : u" xmlns:")
            .append(binding.first)
            .append(u"=\"");
        appendEscaped(out_, binding.second, true);
        out_.append(u"\"");
    }

    // An element: its own namespace declarations, then those its names need that the markup
    // written so far lacks (a subtree written on its own or moved keeps its meaning), then its
    // other attributes.
    void writeElement(dom::RawNode element) {
        const std::size_t mark = scope_.size();
        const dom::Attributes attributes = dom::attributesOf(element);
        for (const dom::Declaration& declaration : attributes.declarations) {
            if (declaration.prefix != u"xml" && !declaredSince(declaration.prefix, mark)) {
                scope_.emplace_back(declaration.prefix, declaration.uri);
            }
        }
        const std::u16string ownName = dom::nameOf(element);
        const std::u16string name = nameFor(
            ownName, namespaceFor(dom::namespaceOf(element), element, prefixOf(ownName)), mark);
        std::vector<std::u16string> names;
        names.reserve(attributes.attributes.size());
        for (const dom::Attribute& attribute : attributes.attributes) {
            const std::u16string_view prefix = prefixOf(attribute.name);
            names.push_back(
                prefix.empty() || prefix == u"xml"
                    ? attribute.name
                    : nameFor(attribute.name, namespaceFor(attribute.uri, element, prefix), mark));
        }
        if (std::exchange(hoist_, false)) {
            std::vector<std::u16string> inner;
            hoistFrom(element, inner);
        }
        out_.append(u"<").append(name);
        for (std::size_t binding = mark; binding < scope_.size(); ++binding) {
            writeDeclaration(scope_[binding]);
        }
        for (std::size_t index = 0; index < names.size(); ++index) {
            out_.append(u" ").append(names[index]).append(u"=\"");
            appendEscaped(out_, attributes.attributes[index].value, true);
            out_.append(u"\"");
        }
        if (dom::NodeRef child = dom::firstChild(element); !child) {
            out_.append(u"/>");
        } else {
            out_.append(u">");
            writeSiblings(std::move(child), u"");
            out_.append(u"</").append(name).append(u">");
        }
        scope_.resize(mark);
    }

    // True when a prefix is declared in `inner` (the declarations met below the top element) or
    // on the top element.
    bool declaredBelowTop(const std::vector<std::u16string>& inner,
                          std::u16string_view prefix) const {
        return prefix == u"xml" || std::find(inner.begin(), inner.end(), prefix) != inner.end() ||
               declaredSince(prefix, 0);
    }

    void hoist(const std::vector<std::u16string>& inner, std::u16string_view prefix,
               const std::u16string& uri, dom::RawNode element) {
        if (!prefix.empty() && !declaredBelowTop(inner, prefix)) {
            const std::u16string bound = namespaceFor(uri, element, prefix);
            if (!bound.empty()) {
                scope_.emplace_back(prefix, bound);
            }
        }
    }

    // Declares on the top element, in the order of first use, the prefixes the descendants of
    // `element` use that no declaration inside the subtree binds: what a copy of the subtree in
    // a document of its own carries. Not the default namespace: the top element's own name fixes
    // it there, and a descendant declares it where it needs another.
    void hoistFrom(dom::RawNode element, std::vector<std::u16string>& inner) {
        for (dom::NodeRef child = dom::firstChild(element); child;
             child = dom::nextSibling(child.get())) {
            if (dom::kindOf(child.get()) != dom::Kind::kElement) {
                continue;
            }
            const std::size_t mark = inner.size();
            const dom::Attributes attributes = dom::attributesOf(child.get());
            for (const dom::Declaration& declaration : attributes.declarations) {
                inner.push_back(declaration.prefix);
            }
            const std::u16string name = dom::nameOf(child.get());
            hoist(inner, prefixOf(name), dom::namespaceOf(child.get()), child.get());
            for (const dom::Attribute& attribute : attributes.attributes) {
                if (const std::u16string_view prefix = prefixOf(attribute.name); !prefix.empty()) {
                    hoist(inner, prefix, attribute.uri, child.get());
                }
            }
            hoistFrom(child.get(), inner);
            inner.resize(mark);
        }
    }

    bool hoist_;
    std::vector<std::pair<std::u16string, std::u16string>> scope_;  // prefix, namespace name
    std::u16string out_;
};

}  // namespace

std::u16string markupOf(dom::RawNode node) {
    bool standsAlone = false;
    if (dom::kindOf(node) == dom::Kind::kElement) {
        const dom::NodeRef parent = dom::parentOf(node);
        standsAlone = parent && dom::kindOf(parent.get()) == dom::Kind::kElement;
    }
    MarkupWriter writer(standsAlone);
    writer.write(node);
    return writer.take();
}

}  // namespace qor::xml
