#pragma once
// Work of the catalogue that goes on behind the windows. Records posted that the file could not
// take yet, because another program holds it, are tried again now and then while the program
// runs, and before it ends they are written or the user is told how many could not be. Problems
// the background work met are told once.
#include <cstddef>
#include <string>

class QObject;

namespace katalox {

// Every second, for as long as `owner` lives: tries, without waiting, to write what the
// catalogue could not take yet, and tells the user of each problem the background work met.
void watchBackgroundWork(QObject* owner);

// At the program's end: writes what is still pending, waiting for locks as usual. While that
// fails, names how many records would be lost and offers to try again.
void writeUnwrittenRecordsBeforeExit();

} // namespace katalox
