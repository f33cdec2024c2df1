#pragma once

#include "BatchOptions.h"
#include "jobs/Mediator.h"

namespace qp::batch {

// The exit status of a run whose source folder holds no document of the
// listed types.
constexpr int noDocumentsStatus = 3;

// Checks the two folders before any office is started: the source must be a
// folder that can be listed, the target a folder that can be written (made
// when missing). On failure returns false with the message.
bool checkFolders(const BatchOptions& options, QString* error);

// Checks the --report file before anything is written: it may be neither one
// of the run's documents nor, in the target tree, the page of one of them.
// On failure returns false with the message.
bool checkReport(const BatchOptions& options, QString* error);

// Converts the folder (or its slice) through the same pipeline as the
// window application, options.jobs documents at once, each in an office of
// its own. Returns the exit status. With an engine maker no office is
// started: the word processor registered as "Word.Application" converts,
// through the engine made for it.
int runBatch(const BatchOptions& options, const Mediator::EngineMaker& makeEngine = {});

// The program for its arguments (those after its name): parses and checks
// them, then converts. Returns the exit status.
int runTool(const QStringList& arguments, const Mediator::EngineMaker& makeEngine = {});

} // namespace qp::batch
