// The check at the start of a run: a rewrite that an earlier run left
// unfinished is undone from its journal (store/journal.h), and anything at
// the journal's place that cannot be trusted is left alone.
#pragma once

#include <string>

#include "platform/platform.h"
#include "store/file_ops.h"
#include "store/journal.h"

namespace kelmora::store {

struct Recovery {
  enum Result {
    Nothing,     // no journal, or no file to restore
    Discarded,   // a journal never completed or already finished, or the file
                 // held its original bytes: removed without a word
    Restored,    // the original bytes are back and the journal is removed
    Failed,      // writing them back failed (`error`); the journal is kept
    NotTrusted,  // something at the journal's place that is no journal of
                 // this program for this file (`why`): left alone
    Unusable,    // a journal of this program for this file that cannot be
                 // read (`error`) or is damaged (no error): kept, and the file
                 // may be half written
    Stuck,       // a journal to be removed that could not be (`error`)
  };
  Result result = Nothing;
  platform::ErrorCode error = 0;
  Journal::Why why = Journal::Unknown;
  std::string journal;  // its path, for all but Nothing
};

// Undoes a rewrite that an earlier run left unfinished on the file at
// `file_path`, if there is one, with its journal found at JournalPath or
// through the file's mark (which every name of the file shows).
Recovery RecoverFromJournal(const std::string& file_path, const FileOps& ops);

}  // namespace kelmora::store
