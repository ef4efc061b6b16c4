#include "scanner/FileWalk.h"

#include "platform/Find.h"
#include "platform/MessagePump.h"
#include "scanner/DirLister.h"

namespace katalox::scanner {

void walkMatchingFiles(const WalkRules& rules,
                       const std::function<void(const std::string& path, std::uint64_t size,
                                                std::int64_t modified)>& found,
                       const bool& stopped) {
    const std::shared_ptr<FolderList> folders = ListAllDirs(rules.startFolder);
    const std::string pattern = rules.namePattern + "." + rules.extensionPattern;
    std::string path;
    for (const std::string& folder : *folders) {
        if (stopped)
            return;
        platform::FindOperation find(folder + pattern, platform::FindRequest::AnyKind);
        while (find.next()) {
            const std::string& name = find.name();
            if (name == "." || name == ".." || find.isDirectory())
                continue;
            path.assign(folder).append(name);
            found(path, find.size(), find.modified());
        }
        platform::processMessages();
    }
}

} // namespace katalox::scanner
