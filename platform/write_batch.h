// Batched atomic replacement of files: one flush to disk for many files.
#pragma once

namespace sessiondeck {

namespace platform {

// Makes many replacements on one thread cheap enough for walks over every
// session. While a batch is open on the thread, WriteFileAtomically writes each
// temporary file but neither flushes nor renames it; Commit flushes them all
// with one sync of the file system and only then renames each over its target,
// in the order written, so a crash still leaves every file old or new, never
// partly written. A file written in a batch shows its new bytes only after the
// commit: open one only around code that never reads back what it wrote. A
// batch opened while another is open on the thread joins the outer one.
class WriteBatch {
public:
    WriteBatch();
    // Commits what is left.
    ~WriteBatch();
    WriteBatch(const WriteBatch&) = delete;
    WriteBatch& operator=(const WriteBatch&) = delete;

    // Flushes and renames every pending file. False when the flush failed (the
    // pending files are then dropped, as a failed write drops its changes) or
    // a rename failed.
    bool Commit();
    // How many files of the batch (and of batches that joined it) could not
    // be put in place so far: their changes were dropped.
    int Failures() const;

private:
    bool m_joined;
    int m_failuresAtStart;
};

// Whether a write batch is open on this thread (for the file-system code).
bool IsWriteBatchOpen();
void SetWriteBatchOpen(bool open);
// Adds to the failures of the thread's open batch.
void AddWriteBatchFailures(int failures);

}  // namespace platform

}  // namespace sessiondeck
