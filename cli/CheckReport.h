#pragma once
// What check prints, on a catalogue file or on a server: one line per finding, "ok: ..." or
// "problem: ... (what would repair it)", each printed at once, as some checks read a lot.
#include "cli/Output.h"
#include "store/catalog/RecordedDisks.h"

#include <functional>
#include <string>
#include <vector>

namespace katalox::cli {

class Report {
public:
    void ok(const std::string& text) { line("ok: " + text); }
    void problem(const std::string& text, const std::string& repair) {
        line("problem: " + text + " (" + repair + ")");
        problems_ = true;
    }
    bool problems() const { return problems_; }

private:
    void line(const std::string& text) {
        out_.buffer().append(text).push_back('\n');
        out_.flush();
    }

    Output out_;
    bool problems_ = false;
};

// "1 file", "3 files".
std::string count(std::int64_t number, const std::string& one, const std::string& many);
// A word as a shell reads it back: quoted when it holds anything but plain characters.
std::string shellWord(const std::string& word);

// The recorded scans against the records: how many there are, each Disk ID with a scan but no
// records, and each scan stopped before its end (`completion` tells what completes it).
void checkRecordedScans(const std::vector<store::RecordedScan>& scans,
                        const std::function<bool(const std::string& diskId)>& hasRecords,
                        const std::function<std::string(const store::RecordedScan&)>& completion,
                        Report& report);

} // namespace katalox::cli
