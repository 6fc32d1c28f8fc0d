#pragma once
// The logic log's calls for the operations: where one starts, what it
// decided and why, and how it ended. Each is one line in the operation's
// code and costs nothing while the log is off.
#include <string>

#include "link/FormView.h"

struct TResult;
struct TBatchReport;
enum class TBatchOp;

void LogicStart(const std::string& operation, const std::string& detail = {});
// A clash and its answer, a file left out and the reason, a retry, a stop.
void LogicDecision(const std::string& what);
void LogicEnd(const std::string& operation, const std::string& counts);

// The shapes the batch and the upload have.
void LogicBatchStart(TBatchOp op, size_t files, int folder);
void LogicFileEnd(const std::string& name, const TResult& r);
void LogicBatchEnd(TBatchOp op, const TBatchReport& report);
// The answer to "Overwrite name?", passed through.
TOverwriteChoice LogicClash(const std::string& name, const TOverwriteChoice& choice);
