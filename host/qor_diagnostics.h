#pragma once

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/debug_stream.h"

namespace qor::host {

// One line of QOR's diagnostics (QOR_DEBUG), taken apart: "QOR messages: call to="applet"
// applet="slider" ..." is category "messages", kind "call" and its fields, unescaped.
struct QorEvent {
    std::string category;  // "load", "xml", "messages"; empty for QOR's own notes ("QOR: ...")
    std::string kind;      // the first word after the category
    std::map<std::string, std::string> fields;  // a null value is absent
    std::string line;                           // as QOR wrote it

    static std::optional<QorEvent> parse(const std::string& line);

    // A field's value, or empty.
    std::string operator[](const std::string& name) const;
    bool has(const std::string& name) const { return fields.contains(name); }
};

// What qor-host learns from the library it drives about the calls it cannot see itself: the
// messages applets send QOR, and QOR's calls of applets. It asks for QOR's `messages`
// diagnostics, written to a file of its own that it reads as QOR writes it. A person's own
// QOR_DEBUG keeps working: the lines of the categories they asked for are passed on to where
// they asked for them (QOR_DEBUG_FILE, else standard error).
class QorDiagnostics {
  public:
    QorDiagnostics();
    ~QorDiagnostics();
    QorDiagnostics(const QorDiagnostics&) = delete;
    QorDiagnostics& operator=(const QorDiagnostics&) = delete;

    // Sets QOR_DEBUG and QOR_DEBUG_FILE for QOR's initialize, which reads them; the previous
    // values come back with the returned object.
    class Asked {
      public:
        ~Asked();
        Asked(const Asked&) = delete;
        Asked& operator=(const Asked&) = delete;

      private:
        friend class QorDiagnostics;
        Asked(std::optional<std::string> debug, std::optional<std::string> file)
            : debug_(std::move(debug)), file_(std::move(file)) {}
        std::optional<std::string> debug_, file_;
    };
    [[nodiscard]] Asked ask() const;

    // Reads what QOR wrote since the last call and hands each line on, in order.
    void poll();
    std::function<void(const QorEvent&)> onEvent;

  private:
    void handOn(const std::string& line);

    std::filesystem::path path_;
    std::ifstream reader_;
    std::string partial_;  // a line whose end has not been written yet
    std::optional<std::string> personDebug_;
    std::optional<platform::DebugStream> personStream_;
    std::vector<std::string> personCategories_;
};

}  // namespace qor::host
