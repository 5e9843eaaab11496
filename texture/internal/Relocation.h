#pragma once
// Moves entries out of the places where Lloyd's search left them serving little.

#include <cstddef>

#include "KMeans.h"
#include "PaletteSpace.h"

namespace korvale::quantise {

// Lloyd's search settles into the fit nearest where it began: an entry can sit among colours
// that a neighbouring entry would serve almost as well, while another entry's group spreads
// wide. Each round takes the entries whose colours would cost least to hand to their next
// nearest entry and the groups that cost most, and tries moving such an entry into such a group
// (the group split in two along the axis it spreads most), then searches on from there, up to
// `passes` passes. A move is kept only when the whole costs less and neither the colour error
// nor the alpha error grows: the alpha weight chose the trade between them, and a move that
// bought colour with alpha or alpha with colour would undo that choice. A move is judged
// halfway through its passes. A round that keeps no move ends the search. The first `held`
// centres never move.
void Relocate(const Points& points, std::size_t held, int passes, KMeans& run);

}  // namespace korvale::quantise
