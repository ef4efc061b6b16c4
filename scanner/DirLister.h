#pragma once
// The folder walk: the start folder and every folder below it that is neither hidden nor
// system, level by level, as folder texts ending with the path separator.
//
// The walk is not recursive: one growing list in which a leading "*" marks a folder whose
// subfolders have not been listed yet. Each pass over the list expands the marked entries it
// meets and appends their subfolders, marked, at the end; a pass counter ends the walk.
#include "platform/Find.h"

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

namespace katalox::scanner {

using FolderList = std::vector<std::string>;

// The walk's working state: one record for the whole module, kept between calls so that the
// last walk can be inspected. Only one walk may run at a time.
struct DirListerState {
    std::shared_ptr<FolderList> DirList; // the list of the current (or last) walk
    std::string CurrentDir;              // the folder being expanded
    std::int32_t PassCount = 0;          // entries before the first expansion, plus one a pass
    std::int32_t ResumeIndex = 0;        // where the next pass begins
    std::int32_t PassIndex = 0;          // the entry the running pass examines
    bool FoundNew = false;               // a subfolder was appended; the walk goes on
    // Folders already listed in this walk, so a link back to a parent or a bind mount neither
    // makes the walk endless nor lists a subtree twice.
    std::unordered_set<platform::FileIdentity, platform::FileIdentityHash> met;
    bool running = false;
    bool stopRequested = false; // the program is closing: end the walk at its next step
};

// The module's state record.
DirListerState& dirListerState();

// Walks the tree below the start text (which should end with the separator) and returns the
// list: the start text unchanged, then every folder found, in level order. Throws Error when
// called while another walk is running (from a command run by the message pump).
std::shared_ptr<FolderList> ListAllDirs(const std::string& startText);

// Asks a running walk to end at its next step (the program is closing); the list it returns
// then holds what was found so far, later entries still marked.
void stopWalk();

// One pass over the list from ResumeIndex on, expanding every marked entry it meets.
void ExpandPending();

// Appends a marked entry for every direct subfolder of the folder that is neither hidden, nor
// system, nor already listed; lets waiting window messages run after each one.
void AddSubDirs(const std::string& folderText);

// The text up to and including its last separator; empty without a separator.
std::string ExtractDirPart(const std::string& text);

} // namespace katalox::scanner
