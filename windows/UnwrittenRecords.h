#pragma once
// Records posted to the catalogue that the file could not take yet, because another program
// holds it: they are tried again now and then while the program runs, and before it ends they
// are written or the user is told how many could not be.
#include <cstddef>
#include <string>

class QObject;

namespace katalox {

// Tries every second, without waiting, to write what the catalogue could not take yet, for as
// long as `owner` lives.
void keepRetryingUnwrittenRecords(QObject* owner);

// At the program's end: writes what is still pending, waiting for locks as usual. While that
// fails, names how many records would be lost and offers to try again.
void writeUnwrittenRecordsBeforeExit();

} // namespace katalox
