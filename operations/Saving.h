#pragma once
// Saving what a user made: an SRB record with its companion, or a mip set alone, through the
// safe writer, and the rules for outputs (never "-" where a file is written, never over an
// existing file unless asked).

#include <string>

#include "CMip.h"
#include "CSrb.h"
#include "Status.h"

namespace korvale {

// Whether out may be written: not "-" (usage is set then: standard output is not a file), nor
// an existing file without force. For an SRB output its companion counts too.
Status CheckOutput(const std::string& out, bool asSrb, bool force, bool& usage);

// Saves record to out: an SRB file and its companion when asSrb, else its mip set alone. A
// failure says "could not be saved: " with the reason and what was left unchanged.
Status SaveRecord(const CSrb& record, const std::string& out, bool asSrb);

// The levels a save of mip will change the colours of, as a sentence, or empty when none.
[[nodiscard]] std::string RecolourWarning(const CMip& mip);
// Why a save that keeps colours refuses mip: "not saved: the levels in slots 1, 0 would change
// colour: ...; miptype 2 keeps each level's own palette". Empty when no colour changes.
[[nodiscard]] std::string RecolourRefusal(const CMip& mip);

}  // namespace korvale
