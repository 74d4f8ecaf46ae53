// VProfileWriteBatch: the writes of a walk over many keys, made durable together.
#pragma once

#include "platform/write_batch.h"

namespace sessiondeck {

// Held around a walk that writes many keys and never reads one back (the
// apply-to-all operations): the INI backend then flushes the walk's value files
// to disk together instead of one by one, which is what makes such a walk over
// many thousand sessions take seconds rather than minutes. Every file is still
// replaced whole, and only under its folder's lock after checking that it is
// still the file the change was made to (see platform/store_folder.h); all of
// them are on disk when the batch ends.
class VProfileWriteBatch {
public:
    // Puts every pending file in place now. False when any could not be.
    bool Commit() { return m_files.Commit(); }
    // How many keys written in the batch lost their changes so far.
    int Failures() const { return m_files.Failures(); }

private:
    platform::WriteBatch m_files;
};

}  // namespace sessiondeck
