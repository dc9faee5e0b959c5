#include "scenario.h"

#include <filesystem>
#include <set>

#include "element_start.h"
#include "host_error.h"
#include "load_bindings_payload.h"
#include "platform/utf8.h"
#include "xml_file.h"

namespace qor::host {

std::string ScenarioStep::label(int at) const {
    if (at > 0) {
        return "line " + std::to_string(at);
    }
    return "step " + std::to_string(number) + " (" +
           (kind == Kind::kFinalize ? std::string("finalize") : narrow(message.command)) + ")";
}

std::string located(const std::string& path, const ScenarioStep& step, int line) {
    return line > 0 ? path + ":" + std::to_string(line) : path + ": " + step.label(line);
}

namespace {

class ScenarioReader {
  public:
    ScenarioReader(std::string path, const std::map<std::string, std::string>& variables)
        : path_(std::move(path)),
          variables_(variables),
          text_(readTextFile(path_)),
          starts_(text_) {
        variables_["SCENARIO_DIR"] = std::filesystem::path(path_).parent_path().string();
    }

    Scenario read() {
        loadXmlText(path_, text_, document_);
        xml::XmlElement root;
        document_.getRootNode(root);
        if (nameOf(document_, root) != u"scenario") {
            fail(root, "the root element must be <scenario>");
        }
        Scenario scenario;
        scenario.path = path_;
        const xml::AttributeMap attributes = attributesOf(root, {u"name"});
        scenario.name = attributeOr(attributes, u"name", u"scenario");
        forEachElement(document_, root, [&](const std::u16string& name, const xml::XmlElement& e) {
            if (name == u"catalogue") {
                const xml::AttributeMap catalogue = attributesOf(e, {u"file", u"locale"});
                if (catalogue.contains(u"file")) {
                    scenario.catalogue = filePath(e, required(e, catalogue, u"file"));
                }
                if (catalogue.contains(u"locale")) {
                    scenario.locale = catalogue.at(u"locale");
                }
            } else {
                reading_ = name;
                scenario.steps.push_back(step(name, e));
                reading_.clear();
            }
        });
        return scenario;
    }

  private:
    [[noreturn]] void fail(const xml::XmlNode& node, const std::string& message) {
        const int line = starts_.lineOf(document_, node);
        if (line == 0 && !reading_.empty()) {
            // No line to name: the step's number and element.
            throw HostError(
                path_, 0,
                "step " + std::to_string(steps_) + " (<" + narrow(reading_) + ">): " + message);
        }
        throw HostError(path_, line, message);
    }

    // The element's attributes, each expanded; an attribute not in `known` is an error.
    xml::AttributeMap attributesOf(const xml::XmlElement& element,
                                   const std::set<std::u16string>& known) {
        xml::AttributeMap attributes = document_.getAttrsMapOfNode(element);
        for (auto& [name, value] : attributes) {
            if (!known.contains(name)) {
                fail(element, "<" + narrow(nameOf(document_, element)) + "> has no attribute \"" +
                                  narrow(name) + "\"");
            }
            value = expand(element, value);
        }
        return attributes;
    }

    std::u16string required(const xml::XmlElement& element, const xml::AttributeMap& attributes,
                            const std::u16string& name) {
        const auto found = attributes.find(name);
        if (found == attributes.end()) {
            fail(element, "<" + narrow(nameOf(document_, element)) + "> needs the attribute \"" +
                              narrow(name) + "\"");
        }
        return found->second;
    }

    std::u16string expand(const xml::XmlNode& node, std::u16string value) {
        for (std::size_t start = value.find(u"${"); start != std::u16string::npos;
             start = value.find(u"${", start)) {
            const std::size_t end = value.find(u'}', start);
            if (end == std::u16string::npos) {
                fail(node, "unclosed \"${\" in \"" + narrow(value) + "\"");
            }
            const std::string variable = narrow(value.substr(start + 2, end - start - 2));
            const auto found = variables_.find(variable);
            if (found == variables_.end()) {
                fail(node, "unknown variable ${" + variable + "}");
            }
            const std::u16string replacement = platform::fromUtf8(found->second);
            value.replace(start, end - start + 1, replacement);
            start += replacement.size();
        }
        return value;
    }

    std::string filePath(const xml::XmlNode&, const std::u16string& value) const {
        std::filesystem::path file(narrow(value));
        if (file.is_relative()) {
            file = std::filesystem::path(path_).parent_path() / file;
        }
        // The platform's separator throughout: on Windows an applet's directory is what comes
        // before its path's last backslash.
        return file.make_preferred().string();
    }

    ScenarioStep step(const std::u16string& name, const xml::XmlElement& element) {
        ScenarioStep step;
        step.line = starts_.lineOf(document_, element);
        step.number = ++steps_;
        const std::set<std::u16string> expectations = {u"expect", u"expectContains"};
        const auto with = [&](std::set<std::u16string> known) {
            known.insert(expectations.begin(), expectations.end());
            return attributesOf(element, known);
        };
        if (name == u"loadApplet" || name == u"unloadApplet") {
            const bool load = name == u"loadApplet";
            const xml::AttributeMap a =
                with(load ? std::set<std::u16string>{u"appletID", u"appletVersion", u"instanceID",
                                                     u"path"}
                          : std::set<std::u16string>{u"appletID", u"appletVersion", u"instanceID"});
            step.message.command = load ? u"LoadUIApplet" : u"UnloadUIApplet";
            std::u16string payload =
                u"<applet appletID=\"" + escaped(required(element, a, u"appletID")) +
                u"\" appletVersion=\"" + escaped(attributeOr(a, u"appletVersion")) +
                u"\" instanceID=\"" + escaped(required(element, a, u"instanceID")) + u"\"";
            if (load) {
                const std::u16string path = required(element, a, u"path");
                payload += u" appletPath=\"" +
                           escaped(platform::fromUtf8(filePath(element, path))) + u"\"";
            }
            step.message.data = payload + u"/>";
            readExpectations(a, step);
        } else if (name == u"loadBindings") {
            const xml::AttributeMap a =
                with({u"appletID", u"appletVersion", u"instanceID", u"file"});
            const std::string file = filePath(element, required(element, a, u"file"));
            // Well formed (so that a mistake is named with its line), then sent as a host sends
            // it: the file's text in the payload the SDK builds.
            const std::string text = readTextFile(file);
            xml::XMLParser bindings;
            loadXmlText(file, text, bindings);
            step.message.command = u"LoadBindings";
            step.message.data = loadBindingsPayload(file, text, required(element, a, u"appletID"),
                                                    attributeOr(a, u"appletVersion"),
                                                    required(element, a, u"instanceID"));
            readExpectations(a, step);
        } else if (name == u"send") {
            const xml::AttributeMap a =
                with({u"command", u"targetType", u"targetID", u"targetVersion", u"targetInstanceID",
                      u"sourceID", u"sourceVersion", u"sourceInstanceID", u"data", u"flagA",
                      u"flagB", u"flagC"});
            OutgoingMessage& m = step.message;
            m.command = required(element, a, u"command");
            m.targetType = attributeOr(a, u"targetType", m.targetType);
            m.targetID = attributeOr(a, u"targetID", m.targetID);
            m.targetVersion = attributeOr(a, u"targetVersion");
            m.targetInstanceID = attributeOr(a, u"targetInstanceID");
            m.sourceID = attributeOr(a, u"sourceID", m.sourceID);
            m.sourceVersion = attributeOr(a, u"sourceVersion");
            m.sourceInstanceID = attributeOr(a, u"sourceInstanceID");
            m.data = attributeOr(a, u"data");
            m.flagA = flag(element, a, u"flagA", m.flagA);
            m.flagB = flag(element, a, u"flagB", m.flagB);
            m.flagC = flag(element, a, u"flagC", m.flagC);
            readExpectations(a, step);
        } else if (name == u"finalize") {
            attributesOf(element, {});
            step.kind = ScenarioStep::Kind::kFinalize;
        } else {
            fail(element, "unknown step <" + narrow(name) + ">");
        }
        readChildren(element, step);
        return step;
    }

    void readExpectations(const xml::AttributeMap& attributes, ScenarioStep& step) {
        if (attributes.contains(u"expect")) {
            step.expectReply = attributes.at(u"expect");
        }
        if (attributes.contains(u"expectContains")) {
            step.expectReplyContains = attributes.at(u"expectContains");
        }
    }

    void readChildren(const xml::XmlElement& element, ScenarioStep& step) {
        forEachElement(
            document_, element, [&](const std::u16string& name, const xml::XmlElement& child) {
                if (name == u"data" && step.kind == ScenarioStep::Kind::kSend &&
                    step.message.command != u"LoadUIApplet" &&
                    step.message.command != u"LoadBindings" &&
                    step.message.command != u"UnloadUIApplet") {
                    step.message.data = innerMarkup(child);
                } else if (name == u"expectCore") {
                    const xml::AttributeMap a =
                        attributesOf(child, {u"command", u"targetID", u"dataContains", u"count"});
                    CoreExpectation expectation;
                    expectation.line = starts_.lineOf(document_, child);
                    expectation.command = required(child, a, u"command");
                    if (a.contains(u"targetID")) {
                        expectation.targetID = a.at(u"targetID");
                    }
                    if (a.contains(u"dataContains")) {
                        expectation.dataContains = a.at(u"dataContains");
                    }
                    if (a.contains(u"count")) {
                        expectation.count = number(child, a.at(u"count"));
                    }
                    step.expectCore.push_back(expectation);
                } else if (name == u"expectLog") {
                    const xml::AttributeMap a = attributesOf(child, {u"level", u"contains"});
                    LogExpectation expectation;
                    expectation.line = starts_.lineOf(document_, child);
                    expectation.level = a.contains(u"level") ? number(child, a.at(u"level")) : 0;
                    expectation.contains = required(child, a, u"contains");
                    step.expectLog.push_back(expectation);
                } else {
                    fail(child, "unknown element <" + narrow(name) + "> in a step");
                }
            });
    }

    std::u16string innerMarkup(const xml::XmlElement& element) {
        std::u16string markup;
        document_.getXMLStringOfNode(element, markup);
        const std::size_t open = markup.find(u'>');
        const std::size_t close = markup.rfind(u'<');
        if (open == std::u16string::npos || close == std::u16string::npos || close <= open ||
            markup[open - 1] == u'/') {
            return u"";
        }
        return expand(element, markup.substr(open + 1, close - open - 1));
    }

    int number(const xml::XmlNode& node, const std::u16string& text) {
        const std::string digits = narrow(text);
        if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos ||
            digits.size() > 9) {
            fail(node, "\"" + digits + "\" is not a number");
        }
        return std::stoi(digits);
    }

    uint8_t flag(const xml::XmlNode& node, const xml::AttributeMap& attributes,
                 const std::u16string& name, uint8_t fallback) {
        if (!attributes.contains(name)) {
            return fallback;
        }
        const int value = number(node, attributes.at(name));
        if (value > 255) {
            fail(node, narrow(name) + " must be 0 to 255");
        }
        return static_cast<uint8_t>(value);
    }

    static std::u16string escaped(const std::u16string& text) {
        std::u16string out;
        for (char16_t unit : text) {
            switch (unit) {
                case u'&':
                    out += u"&amp;";
                    break;
                case u'<':
                    out += u"&lt;";
                    break;
                case u'>':
                    out += u"&gt;";
                    break;
                case u'"':
                    out += u"&quot;";
                    break;
                default:
                    out.push_back(unit);
            }
        }
        return out;
    }

    std::string path_;
    std::u16string reading_;  // the step element being read
    int steps_ = 0;           // steps begun so far
    std::map<std::string, std::string> variables_;
    std::string text_;
    ElementStarts starts_;
    xml::XMLParser document_;
};

}  // namespace

Scenario loadScenario(const std::string& path,
                      const std::map<std::string, std::string>& variables) {
    return ScenarioReader(path, variables).read();
}

}  // namespace qor::host
