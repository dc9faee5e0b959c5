#include "qor_diagnostics.h"

#include <algorithm>
#include <cctype>
#include <random>
#include <system_error>

#include "platform/environment.h"

namespace qor::host {

namespace {

constexpr const char* kDebug = "QOR_DEBUG";
constexpr const char* kDebugFile = "QOR_DEBUG_FILE";

// The categories a QOR_DEBUG value names, lower case, "all" for every one.
std::vector<std::string> categoriesOf(const std::string& value) {
    std::vector<std::string> names;
    std::string name;
    for (const char c : value + ",") {
        if (c == ',' || c == ';' || c == ' ') {
            if (name == "1") {
                name = "all";
            }
            if (!name.empty() && name != "0") {
                names.push_back(name);
            }
            name.clear();
        } else {
            name.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
        }
    }
    return names;
}

// A quoted value's text: \\ \" \n \r \t and \xHH undone. `at` stands after the opening quote
// and is left after the closing one.
std::string unquoted(const std::string& line, std::size_t& at) {
    std::string value;
    while (at < line.size() && line[at] != '"') {
        char c = line[at++];
        if (c == '\\' && at < line.size()) {
            const char escape = line[at++];
            switch (escape) {
                case 'n':
                    c = '\n';
                    break;
                case 'r':
                    c = '\r';
                    break;
                case 't':
                    c = '\t';
                    break;
                case 'x':
                    if (at + 2 <= line.size()) {
                        c = static_cast<char>(std::stoi(line.substr(at, 2), nullptr, 16));
                        at += 2;
                    }
                    break;
                default:
                    c = escape;
            }
        }
        value.push_back(c);
    }
    ++at;
    return value;
}

std::filesystem::path freshPath() {
    std::random_device random;
    const std::string name = "qor-host-" + std::to_string(random()) + ".log";
    return std::filesystem::temp_directory_path() / name;
}

}  // namespace

std::optional<QorEvent> QorEvent::parse(const std::string& line) {
    if (!line.starts_with("QOR")) {
        return std::nullopt;
    }
    const std::size_t colon = line.find(": ");
    if (colon == std::string::npos) {
        return std::nullopt;
    }
    QorEvent event;
    event.line = line;
    event.category = line.substr(3, colon - 3);
    if (!event.category.empty() && event.category.front() == ' ') {
        event.category.erase(0, 1);
    }
    std::size_t at = colon + 2;
    const std::size_t word = line.find(' ', at);
    event.kind = line.substr(at, word == std::string::npos ? word : word - at);
    at = word == std::string::npos ? line.size() : word;
    while (at < line.size()) {
        while (at < line.size() && line[at] == ' ') {
            ++at;
        }
        const std::size_t equals = line.find('=', at);
        if (equals == std::string::npos) {
            break;
        }
        const std::string name = line.substr(at, equals - at);
        at = equals + 1;
        if (at < line.size() && line[at] == '"') {
            ++at;
            event.fields[name] = unquoted(line, at);
        } else {
            const std::size_t end = std::min(line.find(' ', at), line.size());
            const std::string value = line.substr(at, end - at);
            if (value != "null") {
                event.fields[name] = value;
            }
            at = end;
        }
    }
    return event;
}

std::string QorEvent::operator[](const std::string& name) const {
    const auto found = fields.find(name);
    return found != fields.end() ? found->second : std::string();
}

QorDiagnostics::QorDiagnostics() : path_(freshPath()) {
    std::ofstream(path_, std::ios::binary).flush();  // QOR appends to it
    reader_.open(path_, std::ios::binary);
    personDebug_ = platform::environmentVariable(kDebug);
    if (personDebug_) {
        personCategories_ = categoriesOf(*personDebug_);
        std::string error;
        const std::optional<std::string> file = platform::environmentVariable(kDebugFile);
        personStream_ = file && !file->empty() ? platform::DebugStream::appendingTo(*file, error)
                                               : platform::DebugStream::standardError();
    }
}

QorDiagnostics::~QorDiagnostics() {
    reader_.close();
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
}

QorDiagnostics::Asked::~Asked() {
    platform::setEnvironmentVariable(kDebug, debug_);
    platform::setEnvironmentVariable(kDebugFile, file_);
}

QorDiagnostics::Asked QorDiagnostics::ask() const {
    std::optional<std::string> file = platform::environmentVariable(kDebugFile);
    platform::setEnvironmentVariable(kDebug, "messages," + personDebug_.value_or(""));
    platform::setEnvironmentVariable(kDebugFile, path_.string());
    return Asked(personDebug_, std::move(file));
}

void QorDiagnostics::poll() {
    if (!reader_.is_open()) {
        return;
    }
    // A seek to where it stands makes the stream read the file again: without one, a stream that
    // met the end once (mingw's) never sees what was written after it.
    reader_.clear();
    reader_.seekg(0, std::ios::cur);
    std::string chunk;
    while (std::getline(reader_, chunk)) {
        if (reader_.eof()) {
            partial_ += chunk;  // its line feed is still to come
            break;
        }
        const std::string line = partial_ + chunk;
        partial_.clear();
        handOn(line);
    }
}

void QorDiagnostics::handOn(const std::string& line) {
    const std::optional<QorEvent> event = QorEvent::parse(line);
    if (!event) {
        return;
    }
    if (personStream_) {
        const bool asked =
            event->category.empty()
                ? !event->kind.starts_with("diagnostics")  // qor-host's own choice of categories
                : std::any_of(personCategories_.begin(), personCategories_.end(),
                              [&](const std::string& name) {
                                  return name == "all" || name == event->category;
                              });
        if (asked) {
            personStream_->writeLine(line);
        }
    }
    if (onEvent) {
        onEvent(*event);
    }
}

}  // namespace qor::host
