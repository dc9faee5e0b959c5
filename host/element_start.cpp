#include "element_start.h"

#include <algorithm>
#include <cctype>

#include "xml_file.h"

namespace qor::host {

namespace {

// Whether a character may follow an element's name in its start tag.
bool endsName(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0 || c == '>' || c == '/';
}

}  // namespace

ElementStarts::ElementStarts(std::string text) : text_(std::move(text)) {
    lineStarts_.push_back(0);
    for (std::size_t at = text_.find('\n'); at != std::string::npos;
         at = text_.find('\n', at + 1)) {
        lineStarts_.push_back(at + 1);
    }
}

int ElementStarts::lineOf(xml::XMLParser& document, const xml::XmlNode& element) const {
    return startLine(narrow(nameOf(document, element)), element.line());
}

int ElementStarts::startLine(const std::string& name, int endLine) const {
    if (endLine <= 0 || static_cast<std::size_t>(endLine) > lineStarts_.size() || name.empty()) {
        return endLine;
    }
    const std::string open = "<" + name;
    const std::size_t limit = static_cast<std::size_t>(endLine) < lineStarts_.size()
                                  ? lineStarts_[static_cast<std::size_t>(endLine)]
                                  : text_.size();
    // The last start tag of that name before the end of its line whose '>' lies on that line.
    for (std::size_t at = text_.rfind(open, limit - 1); at != std::string::npos;
         at = at == 0 ? std::string::npos : text_.rfind(open, at - 1)) {
        const std::size_t after = at + open.size();
        if (after >= text_.size() || !endsName(text_[after])) {
            continue;
        }
        const std::size_t end = tagEnd(after);
        if (end != std::string::npos && lineAt(end) == endLine) {
            return lineAt(at);
        }
    }
    return endLine;
}

int ElementStarts::lineAt(std::size_t offset) const {
    const auto next = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), offset);
    return static_cast<int>(next - lineStarts_.begin());
}

std::size_t ElementStarts::tagEnd(std::size_t from) const {
    char quote = '\0';
    for (std::size_t at = from; at < text_.size(); ++at) {
        const char c = text_[at];
        if (quote != '\0') {
            quote = c == quote ? '\0' : quote;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            return at;
        }
    }
    return std::string::npos;
}

}  // namespace qor::host
