// qor_replay: plays the differential corpus through QOR's library as a host does and writes the
// transcript that scripts/differential.sh compares between the Linux and the Windows build.
//
//   qor_replay --out TRANSCRIPT CORPUS_FILE...
//
// The library, the fixture applet and the sample applets are the ones built with this program.
// Exit status: 0 when every case was played, 2 for a corpus that cannot be used, 3 when the
// library cannot be loaded.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "corpus.h"
#include "replay.h"
#include "transcript.h"

namespace {

using qor::differential::CorpusCase;
using qor::differential::CorpusError;

// A path of the build as this platform writes it (under Wine: a drive letter and backslashes).
std::filesystem::path native(const char* path) {
    return std::filesystem::absolute(std::filesystem::path(path)).make_preferred();
}

std::map<std::string, std::u16string> variables() {
    const std::filesystem::path fixture = native(QOR_REPLAY_FIXTURE);
    const std::filesystem::path slider = native(QOR_REPLAY_SLIDER);
    const std::filesystem::path label = native(QOR_REPLAY_LABEL);
    const std::filesystem::path suffix = fixture.extension();
    return {
        {"FIXTURE", fixture.u16string()},
        {"FIXTURE_DIR", fixture.parent_path().u16string()},
        {"SLIDER", slider.u16string()},
        {"LABEL", label.u16string()},
        {"SAMPLE_DIR", slider.parent_path().u16string()},
        {"SUFFIX", suffix.u16string()},
        {"MISSING", (fixture.parent_path() / "no-such-applet").u16string() + suffix.u16string()},
    };
}

int usage() {
    std::cerr << "usage: qor_replay --out TRANSCRIPT CORPUS_FILE...\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string outPath;
    std::vector<std::string> corpusFiles;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--out" && i + 1 < argc) {
            outPath = argv[++i];
        } else if (argument.starts_with("-")) {
            return usage();
        } else {
            corpusFiles.push_back(argument);
        }
    }
    if (outPath.empty() || corpusFiles.empty()) {
        return usage();
    }

    const std::map<std::string, std::u16string> values = variables();
    std::vector<CorpusCase> cases;
    try {
        for (const std::string& file : corpusFiles) {
            std::vector<CorpusCase> more = qor::differential::readCorpus(file, values);
            cases.insert(cases.end(), std::make_move_iterator(more.begin()),
                         std::make_move_iterator(more.end()));
        }
    } catch (const CorpusError& error) {
        std::cerr << "qor_replay: " << error.what() << '\n';
        return 2;
    }

    std::ofstream out(outPath, std::ios::binary);
    if (!out) {
        std::cerr << "qor_replay: cannot write " << outPath << '\n';
        return 2;
    }
    out << "# qor_replay transcript\n";
    for (const auto& [name, value] : values) {
        qor::differential::TranscriptLine(out, 0, "variable")
            .word("name", name)
            .text("value", value);
    }
    try {
        qor::differential::Replay replay(native(QOR_REPLAY_LIBRARY).string(), out);
        for (const CorpusCase& corpusCase : cases) {
            replay.play(corpusCase);
            out.flush();
        }
    } catch (const CorpusError& error) {
        std::cerr << "qor_replay: " << error.what() << '\n';
        return 2;
    } catch (const std::runtime_error& error) {
        std::cerr << "qor_replay: " << error.what() << '\n';
        return 3;
    }
    out << "# end\n";
    return out ? 0 : 2;
}
