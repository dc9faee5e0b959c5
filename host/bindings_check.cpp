#include "bindings_check.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <memory>
#include <set>

#include "element_start.h"
#include "host_error.h"
#include "load_bindings_payload.h"
#include "xml_file.h"

namespace qor::host {

namespace {

std::string lowered(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

class BindingsCheck {
  public:
    BindingsCheck(std::string path, std::ostream& out)
        : path_(std::move(path)), out_(out), text_(readTextFile(path_)), starts_(text_) {}

    // True when LoadBindings stores every binding as written and answers "true", and the document
    // holds nothing it does not define.
    bool run() {
        loadXmlText(path_, text_, document_);
        xml::XmlElement root;
        document_.getRootNode(root);
        if (nameOf(document_, root) == u"bindings") {
            // What a host sends: the file's text in a LoadBindings payload.
            const std::u16string payload = loadBindingsPayload(path_, text_);
            xml::XMLParser parsed;
            if (!parsed.initWithXMLString(payload)) {
                throw HostError(path_, 0,
                                "in a LoadBindings payload the text does not parse: " +
                                    xml::XMLParser::lastParseFailure().message);
            }
        }
        const xml::XmlElement bindings = document_.getNodeForXQuery(u"//bindings");
        if (!bindings) {
            throw HostError(path_, 0, "no <bindings> element");
        }
        say(lineOf(bindings), "bindings document");
        attributes(bindings, {});
        forEachElement(document_, bindings,
                       [&](const std::u16string& name, const xml::XmlElement& child) {
                           if (name != u"eventBindings" && name != u"propertyBindings") {
                               unknownElement(child, name, u"bindings");
                           }
                       });
        events(document_.getNodeForXQuery(u"//bindings/eventBindings"));
        properties(document_.getNodeForXQuery(u"//bindings/propertyBindings"));
        out_ << "summary: " << storedEvents_ << " event binding" << plural(storedEvents_) << " and "
             << storedProperties_ << " property binding" << plural(storedProperties_) << " stored, "
             << skipped_ << " skipped; LoadBindings answers \""
             << (sectionsPresent_ == 2 ? "true" : "false") << "\"";
        if (findings_ > 0) {
            out_ << "; " << findings_ << " finding" << plural(findings_);
        }
        out_ << '\n';
        return findings_ == 0;
    }

  private:
    static const char* plural(int count) { return count == 1 ? "" : "s"; }

    int lineOf(const xml::XmlNode& element) { return starts_.lineOf(document_, element); }

    // "the binding of line 3", or "an earlier binding" where lines are not known.
    static std::string bindingAt(int line) {
        return line > 0 ? "the binding of line " + std::to_string(line) : "an earlier binding";
    }

    // "FILE:LINE: text", or "FILE: text" where the line is not known.
    void say(int line, const std::string& text) {
        out_ << path_ << (line > 0 ? ":" + std::to_string(line) : std::string()) << ": " << text
             << '\n';
    }

    // Something that changes what LoadBindings stores or answers, or that it ignores.
    void finding(int line, const std::string& text) {
        say(line, text);
        ++findings_;
    }

    void unknownElement(const xml::XmlElement& element, const std::u16string& name,
                        const std::u16string& parent) {
        finding(lineOf(element),
                "unknown element <" + narrow(name) + "> in <" + narrow(parent) + "> ignored");
    }

    // The element's attributes; one it does not define is a finding (namespace declarations
    // excepted), named with the defined name it was perhaps meant to be.
    xml::AttributeMap attributes(const xml::XmlElement& element,
                                 const std::set<std::u16string>& defined) {
        const xml::AttributeMap found = document_.getAttrsMapOfNode(element);
        for (const auto& [name, value] : found) {
            if (defined.contains(name) || name == u"xmlns" || name.starts_with(u"xmlns:")) {
                continue;
            }
            std::string text = "unknown attribute \"" + narrow(name) + "\" of <" +
                               narrow(nameOf(document_, element)) + "> ignored";
            const std::string lowerName = lowered(narrow(name));
            const auto meant = std::find_if(defined.begin(), defined.end(), [&](const auto& known) {
                return lowered(narrow(known)) == lowerName;
            });
            if (meant != defined.end()) {
                text += " (names are case-sensitive: \"" + narrow(*meant) + "\")";
            }
            finding(lineOf(element), text);
        }
        return found;
    }

    // A value the binding needs: missing or empty is a finding.
    std::u16string needed(const xml::XmlElement& element, const xml::AttributeMap& attributes,
                          const std::u16string& name) {
        const auto found = attributes.find(name);
        if (found == attributes.end() || found->second.empty()) {
            finding(lineOf(element), "<" + narrow(nameOf(document_, element)) + "> has " +
                                         (found == attributes.end() ? "no" : "an empty") + " \"" +
                                         narrow(name) + "\"");
            return u"";
        }
        return found->second;
    }

    void noChildren(const xml::XmlElement& element, const std::u16string& parent) {
        forEachElement(document_, element,
                       [&](const std::u16string& name, const xml::XmlElement& child) {
                           unknownElement(child, name, parent);
                       });
    }

    void events(const xml::XmlElement& section) {
        if (!section) {
            finding(0,
                    "no <eventBindings> section: LoadBindings answers \"false\" (property "
                    "bindings are still loaded)");
            return;
        }
        ++sectionsPresent_;
        attributes(section, {});
        std::map<std::u16string, int> keys;
        forEachElement(
            document_, section, [&](const std::u16string&, const xml::XmlElement& binding) {
                const xml::AttributeMap bindingAttributes = attributes(binding, {u"propertyName"});
                const std::u16string property = attributeOr(bindingAttributes, u"propertyName");
                if (property.empty()) {
                    finding(lineOf(binding),
                            "event binding has an empty or missing \"propertyName\"");
                }
                std::optional<std::u16string> key;
                int sources = 0;
                forEachElement(document_, binding,
                               [&](const std::u16string& name, const xml::XmlElement& child) {
                                   if (name == u"source") {
                                       const xml::AttributeMap source =
                                           attributes(child, {u"id", u"event", u"type"});
                                       key = needed(child, source, u"id") + u"." +
                                             needed(child, source, u"event");
                                       noChildren(child, u"source");
                                       ++sources;
                                   } else if (name != u"data") {
                                       unknownElement(child, name, nameOf(document_, binding));
                                   }
                               });
                if (!key) {
                    finding(lineOf(binding), "event binding skipped: no <source> child");
                    ++skipped_;
                    return;
                }
                if (sources > 1) {
                    finding(lineOf(binding), std::to_string(sources) +
                                                 " <source> children: only the last one counts");
                }
                std::string text =
                    "event " + narrow(*key) + " changes property \"" + narrow(property) + "\"";
                if (const auto earlier = keys.find(*key); earlier != keys.end()) {
                    text += " (replaces " + bindingAt(earlier->second) + ")";
                    ++findings_;
                } else {
                    ++storedEvents_;
                }
                keys[*key] = lineOf(binding);
                say(lineOf(binding), text);
            });
    }

    void properties(const xml::XmlElement& section) {
        if (!section) {
            finding(0,
                    "no <propertyBindings> section: LoadBindings answers \"false\" and registers "
                    "no property");
            return;
        }
        ++sectionsPresent_;
        attributes(section, {});
        std::map<std::u16string, int> names;
        forEachElement(
            document_, section, [&](const std::u16string&, const xml::XmlElement& binding) {
                const std::u16string property =
                    attributeOr(attributes(binding, {u"propertyName"}), u"propertyName");
                if (property.empty()) {
                    finding(lineOf(binding),
                            "property binding skipped: empty or missing propertyName");
                    ++skipped_;
                    return;
                }
                std::optional<std::u16string> command;
                forEachElement(
                    document_, binding,
                    [&](const std::u16string& name, const xml::XmlElement& child) {
                        if (name == u"target") {
                            command = needed(
                                child, attributes(child, {u"command", u"viewID", u"type", u"id"}),
                                u"command");
                            noChildren(child, u"target");
                        } else {
                            unknownElement(child, name, nameOf(document_, binding));
                        }
                    });
                if (!command) {
                    finding(lineOf(binding),
                            "property binding has no <target>: the instance is told "
                            "with an empty command");
                }
                std::string text = "property \"" + narrow(property) + "\" is told as " +
                                   (command ? "command \"" + narrow(*command) + "\""
                                            : std::string("empty fields (no <target>)"));
                if (const auto earlier = names.find(property); earlier != names.end()) {
                    text += " (registered twice; replaces " + bindingAt(earlier->second) + ")";
                    ++findings_;
                } else {
                    ++storedProperties_;
                }
                names[property] = lineOf(binding);
                say(lineOf(binding), text);
            });
    }

    std::string path_;
    std::ostream& out_;
    std::string text_;
    ElementStarts starts_;
    xml::XMLParser document_;
    int storedEvents_ = 0;
    int storedProperties_ = 0;
    int skipped_ = 0;
    int sectionsPresent_ = 0;
    int findings_ = 0;
};

}  // namespace

int checkBindings(const std::string& path, std::ostream& out) {
    return BindingsCheck(path, out).run() ? kBindingsAsWritten : kBindingsChanged;
}

}  // namespace qor::host
