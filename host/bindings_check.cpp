#include "bindings_check.h"

#include <map>

#include "element_start.h"
#include "host_error.h"
#include "xml_file.h"

namespace qor::host {

namespace {

class BindingsCheck {
  public:
    BindingsCheck(std::string path, std::ostream& out)
        : path_(std::move(path)), out_(out), text_(readTextFile(path_)), starts_(text_) {}

    // True when LoadBindings stores every binding as written and answers "true".
    bool run() {
        loadXmlText(path_, text_, document_);
        const xml::XmlElement bindings = document_.getNodeForXQuery(u"//bindings");
        if (!bindings) {
            throw HostError(path_, 0, "no <bindings> element");
        }
        say(lineOf(bindings), "bindings document");
        events(document_.getNodeForXQuery(u"//bindings/eventBindings"));
        properties(document_.getNodeForXQuery(u"//bindings/propertyBindings"));
        out_ << "summary: " << storedEvents_ << " event binding" << plural(storedEvents_) << " and "
             << storedProperties_ << " property binding" << plural(storedProperties_) << " stored, "
             << skipped_ << " skipped; LoadBindings answers \""
             << (sectionsPresent_ == 2 ? "true" : "false") << "\"\n";
        return changes_ == 0;
    }

  private:
    static const char* plural(int count) { return count == 1 ? "" : "s"; }

    int lineOf(const xml::XmlNode& element) { return starts_.lineOf(document_, element); }

    void say(int line, const std::string& text) {
        out_ << path_ << ":" << line << ": " << text << '\n';
    }

    void events(const xml::XmlElement& section) {
        if (!section) {
            say(0,
                "no <eventBindings> section: LoadBindings answers \"false\" (property "
                "bindings are still loaded)");
            ++changes_;
            return;
        }
        ++sectionsPresent_;
        std::map<std::u16string, int> keys;
        forEachElement(
            document_, section, [&](const std::u16string&, const xml::XmlElement& binding) {
                const std::u16string property =
                    attributeOr(document_.getAttrsMapOfNode(binding), u"propertyName");
                std::optional<std::u16string> key;
                int sources = 0;
                forEachElement(
                    document_, binding,
                    [&](const std::u16string& name, const xml::XmlElement& child) {
                        if (name == u"source") {
                            const xml::AttributeMap source = document_.getAttrsMapOfNode(child);
                            key = attributeOr(source, u"id") + u"." + attributeOr(source, u"event");
                            ++sources;
                        } else if (name != u"data") {
                            say(lineOf(child), "unknown child <" + narrow(name) + "> ignored");
                        }
                    });
                if (!key) {
                    say(lineOf(binding), "event binding skipped: no <source> child");
                    ++skipped_;
                    ++changes_;
                    return;
                }
                if (sources > 1) {
                    say(lineOf(binding),
                        std::to_string(sources) + " <source> children: only the last one counts");
                    ++changes_;
                }
                if (property.empty()) {
                    say(lineOf(binding), "event binding has an empty propertyName");
                }
                std::string text =
                    "event " + narrow(*key) + " changes property \"" + narrow(property) + "\"";
                if (const auto earlier = keys.find(*key); earlier != keys.end()) {
                    text +=
                        " (replaces the binding of line " + std::to_string(earlier->second) + ")";
                    ++changes_;
                } else {
                    ++storedEvents_;
                }
                keys[*key] = lineOf(binding);
                say(lineOf(binding), text);
            });
    }

    void properties(const xml::XmlElement& section) {
        if (!section) {
            say(0,
                "no <propertyBindings> section: LoadBindings answers \"false\" and registers "
                "no property");
            ++changes_;
            return;
        }
        ++sectionsPresent_;
        std::map<std::u16string, int> names;
        forEachElement(
            document_, section, [&](const std::u16string&, const xml::XmlElement& binding) {
                const std::u16string property =
                    attributeOr(document_.getAttrsMapOfNode(binding), u"propertyName");
                if (property.empty()) {
                    say(lineOf(binding), "property binding skipped: empty or missing propertyName");
                    ++skipped_;
                    ++changes_;
                    return;
                }
                std::optional<std::u16string> command;
                forEachElement(
                    document_, binding,
                    [&](const std::u16string& name, const xml::XmlElement& child) {
                        if (name == u"target") {
                            command = attributeOr(document_.getAttrsMapOfNode(child), u"command");
                        } else {
                            say(lineOf(child), "unknown child <" + narrow(name) + "> ignored");
                        }
                    });
                std::string text = "property \"" + narrow(property) + "\" is told as " +
                                   (command ? "command \"" + narrow(*command) + "\""
                                            : std::string("empty fields (no <target>)"));
                if (const auto earlier = names.find(property); earlier != names.end()) {
                    text += " (registered twice; replaces the binding of line " +
                            std::to_string(earlier->second) + ")";
                    ++changes_;
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
    int changes_ = 0;  // findings that change what LoadBindings stores or answers
};

}  // namespace

int checkBindings(const std::string& path, std::ostream& out) {
    return BindingsCheck(path, out).run() ? kBindingsAsWritten : kBindingsChanged;
}

}  // namespace qor::host
