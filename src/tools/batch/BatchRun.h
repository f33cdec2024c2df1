#pragma once

#include "BatchOptions.h"

namespace qp::batch {

// The exit status of a run whose source folder holds no document of the
// listed types.
constexpr int noDocumentsStatus = 3;
// The exit status of a worker of a --jobs run whose office could not be
// started: its parent starts it again, once.
constexpr int officeNotStartedStatus = 4;

// Checks the two folders before any office is started: the source must be a
// folder that can be listed, the target a folder that can be written (made
// when missing). On failure returns false with the message.
bool checkFolders(const BatchOptions& options, QString* error);

// Checks the --report file before anything is written: it may be neither one
// of the run's documents nor, in the target tree, the page of one of them.
// On failure returns false with the message.
bool checkReport(const BatchOptions& options, QString* error);

// Converts the folder (or its slice) in this process, one document after the
// other, through the same pipeline as the window application. With machine
// set, the output is meant for a parent process. Returns the exit status.
int runWorker(const BatchOptions& options, bool machine);

// Runs options.jobs worker processes of this program, each on its own slice
// with its own office, and gathers their output. Returns the exit status.
int runParallel(const BatchOptions& options, const QString& program);

} // namespace qp::batch
