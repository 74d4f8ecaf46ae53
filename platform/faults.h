// A seam through which tests make the library's file-system writes fail, one kind of call at a
// time.
#pragma once

namespace sessiondeck {

namespace platform {

// The calls that can be made to fail. Every write path of the configuration
// folder goes through these, so a test can fail each step of each operation
// in-process, the way SQLite swaps its file-system layer to simulate I/O
// errors, and check that the failure is reported and nothing is lost.
enum class FaultPoint {
    kCreate,      // creating a file (the temporary file of a replacement)
    kWrite,       // writing bytes to a file
    kSync,        // flushing a file or the file system to disk
    kRename,      // renaming a file or folder into place
    kMakeFolder,  // creating a folder
    kRemove,      // removing a file or folder
};

// From the `nth` call (1-based) at `point` on, `count` calls fail with `error`
// (an errno value such as ENOSPC or EIO). Replaces any earlier fault at that
// point. Process-wide; meant for tests only.
void InjectFault(FaultPoint point, int nth, int error, int count = 1);
// Removes every injected fault and resets the call counters.
void ClearFaults();
// How many calls reached `point` since the last ClearFaults.
int FaultPointCalls(FaultPoint point);

// For the file-system code: counts a call at `point` and returns the error it
// must fail with, or 0 to go on.
int CheckFault(FaultPoint point);

}  // namespace platform

}  // namespace sessiondeck
