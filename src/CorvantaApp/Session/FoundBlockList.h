#pragma once

// The dashboard's list of the blocks this session found, and what the node's verdict on one of
// them does to it.

#include <QString>

#include <optional>
#include <vector>

#include "Session/SessionRecords.h"
#include "corvanta/assembly/BlockSubmission.h"

namespace corvanta::found_blocks {

// Adds a block found this session, its verdict pending. Past 200 blocks the newest 100 are kept.
void add(std::vector<FoundBlockRecord>& blocks, FoundBlockRecord block);

struct Verdict {
    bool listed = false;  // the block is in the list, and its verdict was set there
    // The block as it stands once the verdict turned it accepted: its reward is the session's to
    // show and to tell of, once. None for a refusal, for a block accepted already (a resubmission
    // the node already had), or for a block the list does not hold.
    std::optional<FoundBlockRecord> newlyAccepted;
};

// Sets the node's verdict on the block of `hashHex` (display order) alone. A held block resubmitted
// long after it was found is told of after newer ones; a block the list no longer holds changes
// nothing in it.
Verdict applyVerdict(std::vector<FoundBlockRecord>& blocks, const QString& hashHex,
                     const SubmissionResult& result);

}  // namespace corvanta::found_blocks
