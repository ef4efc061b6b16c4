#include "cli/FoundRecords.h"

#include "store/archives/ArchiveListing.h"
#include "store/catalog/DiskPlace.h"
#include "store/catalog/RecordedDisks.h"

namespace katalox::cli {

std::optional<store::RecordedPath> RecordFacts::of(const FoundRecord& record) {
    if (auto facts = files_.factsOf(record.id, record.upperName))
        return facts;
    if (record.storedPath.find(store::kMemberSeparator) == std::string::npos)
        return std::nullopt;
    return members_.factsOf(record.id, files_);
}

ConnectedScans::ConnectedScans(store::Database& db) : ConnectedScans(store::allRecordedScans(db)) {}

ConnectedScans::ConnectedScans(const std::vector<store::RecordedScan>& scans) {
    for (const store::RecordedScan& scan : scans) {
        const store::ScanPlace place = store::locateScan(scan);
        if (place.state != store::ScanPlace::State::Connected)
            continue;
        scans_[scan.id] = {scan.scannedFolder, place.folderNow};
        disks_.insert(scan.diskId);
    }
}

std::optional<std::string> ConnectedScans::livePath(const store::RecordedPath& recorded) const {
    const auto found = scans_.find(recorded.scanId);
    if (found == scans_.end() || recorded.path.find(store::kMemberSeparator) != std::string::npos ||
        recorded.path.compare(0, found->second.scannedFolder.size(), found->second.scannedFolder) !=
            0)
        return std::nullopt;
    return found->second.folderNow + recorded.path.substr(found->second.scannedFolder.size());
}

RecordWriter::RecordWriter(Output& out, RecordFormat format) : out_(out), format_(format) {
    if (format_ == RecordFormat::Csv)
        out_.buffer() += "disk,name,path,real_path,live_path,size,modified,record\n";
    else if (format_ == RecordFormat::Json)
        out_.buffer() += "[";
}

RecordWriter::~RecordWriter() {
    if (format_ == RecordFormat::Json)
        out_.buffer() += first_ ? "]\n" : "\n]\n";
}

void RecordWriter::write(const FoundRecord& record) {
    std::string& out = out_.buffer();
    const std::string name = record.path().substr(
        record.path().rfind('/') == std::string::npos ? 0 : record.path().rfind('/') + 1);
    const std::string modified = record.facts ? timeText(record.facts->modified) : std::string();
    switch (format_) {
    case RecordFormat::Lines:
    case RecordFormat::NulSeparated:
        out.append(record.diskId).append(":").append(record.path());
        out.push_back(format_ == RecordFormat::Lines ? '\n' : '\0');
        break;
    case RecordFormat::Csv:
        for (const std::string* field : {&record.diskId, &name, &record.storedPath,
                                         record.facts ? &record.facts->path : nullptr,
                                         record.livePath ? &*record.livePath : nullptr}) {
            if (field)
                appendCsv(out, *field);
            out.push_back(',');
        }
        out.append(std::to_string(record.size)).append(",").append(modified).append(",");
        out.append(std::to_string(record.id)).push_back('\n');
        break;
    case RecordFormat::Json:
        out.append(first_ ? "\n" : ",\n").append("{\"disk\":");
        appendJson(out, record.diskId);
        out.append(",\"name\":");
        appendJson(out, name);
        out.append(",\"path\":");
        appendJson(out, record.storedPath);
        out.append(",\"real_path\":");
        record.facts ? appendJson(out, record.facts->path) : void(out.append("null"));
        out.append(",\"live_path\":");
        record.livePath ? appendJson(out, *record.livePath) : void(out.append("null"));
        out.append(",\"size\":").append(std::to_string(record.size));
        out.append(",\"modified\":");
        record.facts ? appendJson(out, modified) : void(out.append("null"));
        out.append(",\"record\":").append(std::to_string(record.id)).append("}");
        break;
    }
    first_ = false;
    out_.resultDone();
}

} // namespace katalox::cli
