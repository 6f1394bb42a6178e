#pragma once

// One found-block record as the history file and its journal hold it, and the summary the file
// opens with once its oldest records were folded into their count and total.

#include <string>

#include "corvanta/loop/MiningHistoryStore.h"
#include "corvanta/support/StrictJson.h"

namespace corvanta::loop {

json::Value encodeBlock(const FoundBlock& block);
// Throws json::DecodeError for a record the store could not believe (see MiningHistoryStore).
FoundBlock decodeBlock(const json::Value& record);

// {"folded":{"count":…,"highestHeight":…,"lowestHeight":…,"rewardSats":…}}
json::Value encodeFolded(const MiningHistoryStore::Folded& folded);
// True for the summary's shape, which no record has.
bool isFoldedSummary(const json::Value& element);
// Throws json::DecodeError for counts or heights no history could hold.
MiningHistoryStore::Folded decodeFolded(const json::Value& element);

}  // namespace corvanta::loop
