// VProfileWriteBatch: the writes of a walk over many keys, made durable together.
#pragma once

#include "platform/write_batch.h"

// Held around a walk that writes many keys and never reads one back (the
// apply-to-all operations): the INI backend then flushes the walk's value files
// to disk together instead of one by one, which is what makes such a walk over
// many thousand sessions take seconds rather than minutes. Every file is still
// replaced whole; all of them are on disk when the batch ends.
class VProfileWriteBatch {
private:
    platform::WriteBatch m_files;
};
