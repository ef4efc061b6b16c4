#include "scanner/DirLister.h"

#include "platform/Error.h"
#include "platform/FindListings.h"
#include "platform/MessagePump.h"
#include "platform/Paths.h"

namespace katalox::scanner {

using platform::kPathSeparator;

namespace {

constexpr char kPendingMark = '*';
// Entries of a folder read between two chances for the windows to process their messages.
constexpr std::size_t kEntriesBetweenPumps = 256;

// Clears the running flag however the walk ends, an error from the message pump included.
// While the walk runs, the folders it reads are kept for the file search that follows it.
class RunningWalk {
public:
    explicit RunningWalk(DirListerState& state) : state_(state) {
        if (state_.running)
            throw Error("A folder scan is already running");
        state_.running = true;
        platform::listings::setRecording(true);
    }
    ~RunningWalk() {
        platform::listings::setRecording(false);
        state_.running = false;
    }
    RunningWalk(const RunningWalk&) = delete;
    RunningWalk& operator=(const RunningWalk&) = delete;

private:
    DirListerState& state_;
};

std::int32_t entryCount(const DirListerState& state) {
    return static_cast<std::int32_t>(state.DirList->size());
}

std::optional<platform::FileIdentity> identityOfFolder(const std::string& folderText) {
    const auto found = platform::FindOperation::lookUp(folderText + ".");
    if (!found || !found->attributes.directory)
        return std::nullopt;
    return found->identity;
}

// The identity of the folder whose entries a folder text's walk enumerates: the folder itself
// for a text ending with the separator, otherwise the folder the text lies in.
void rememberStart(DirListerState& state, const std::string& startText) {
    if (const auto identity = identityOfFolder(ExtractDirPart(startText)))
        state.met.insert(*identity);
}

} // namespace

DirListerState& dirListerState() {
    static DirListerState state;
    return state;
}

std::shared_ptr<FolderList> ListAllDirs(const std::string& startText) {
    DirListerState& state = dirListerState();
    RunningWalk running(state);
    state.FoundNew = false;
    state.stopRequested = false;
    state.DirList = std::make_shared<FolderList>();
    state.met.clear();
    state.DirList->push_back(startText);
    state.CurrentDir = startText;
    state.PassCount = entryCount(state);
    rememberStart(state, startText);
    AddSubDirs(state.CurrentDir);
    state.ResumeIndex = 0;
    if (entryCount(state) > state.PassCount)
        state.FoundNew = true;
    while (state.FoundNew && !state.stopRequested) {
        ExpandPending();
        ++state.PassCount;
        if (entryCount(state) == state.PassCount)
            state.FoundNew = false;
    }
    state.met.clear(); // only needed while walking; a large tree's set is worth giving back
    return state.DirList;
}

void ExpandPending() {
    DirListerState& state = dirListerState();
    const std::int32_t first = state.ResumeIndex;
    const std::int32_t count = entryCount(state);
    for (state.PassIndex = first; state.PassIndex < count && !state.stopRequested;
         ++state.PassIndex) {
        const std::string& entry = (*state.DirList)[state.PassIndex];
        if (entry.empty() || entry[0] != kPendingMark)
            continue;
        // The whole text is taken: cutting a long path short would name another folder.
        state.CurrentDir = entry.substr(1);
        AddSubDirs(state.CurrentDir);
        (*state.DirList)[state.PassIndex] = state.CurrentDir;
        state.ResumeIndex = state.PassIndex;
    }
}

void AddSubDirs(const std::string& folderText) {
    DirListerState& state = dirListerState();
    const bool endsWithSeparator = !folderText.empty() && folderText.back() == kPathSeparator;
    platform::FindOperation find(folderText + "*.*", platform::FindRequest::Folders);
    std::size_t skippedSincePump = 0;
    while (find.next()) {
        const std::string& name = find.name();
        if (!find.isDirectory() || name == "." || name == "..") {
            // A folder of many thousand files appends nothing for a long while: let waiting
            // window messages run now and then while it is read, too.
            if (++skippedSincePump == kEntriesBetweenPumps) {
                skippedSincePump = 0;
                platform::processMessages();
                if (state.stopRequested)
                    return;
            }
            continue;
        }
        std::string entry;
        entry.reserve(folderText.size() + name.size() + 2);
        entry.append(1, kPendingMark).append(folderText).append(name).append(1, kPathSeparator);
        // Without a final separator the new text names another path than the entry found.
        const auto identity =
            endsWithSeparator ? find.identity() : identityOfFolder(entry.substr(1));
        if (identity && !state.met.insert(*identity).second)
            continue;
        state.DirList->push_back(std::move(entry));
        state.FoundNew = true;
        platform::processMessages();
        if (state.stopRequested)
            return;
    }
}

void stopWalk() {
    DirListerState& state = dirListerState();
    state.stopRequested = state.running;
}

std::string ExtractDirPart(const std::string& text) {
    const auto last = text.rfind(kPathSeparator);
    return last == std::string::npos ? std::string() : text.substr(0, last + 1);
}

} // namespace katalox::scanner
